NAME value
