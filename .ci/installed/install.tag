// Does nothing: the check only lists the packed file.
