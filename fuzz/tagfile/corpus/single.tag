NAME:  value
OTHER:  two words
