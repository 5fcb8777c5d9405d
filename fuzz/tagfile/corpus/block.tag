LIST:
  first
  "second, quoted"
  third
/:
AFTER:  1
