LIST:
  one
  two
