INSTRUCTIONS:
  SET S1 = "two words"
  SET N1 = 7
  SET S2 = @S1@@@@N1@
  JMP0 @N2@ L
  :L
  VERIFY 0 1 3
  ILAUNCH 4 2
/:
