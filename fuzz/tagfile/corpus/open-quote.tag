Q:  "never closed
