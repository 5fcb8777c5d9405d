A:  dos
LIST:
  x
/:
