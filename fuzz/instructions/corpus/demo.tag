INSTRUCTIONS:
  // Any Java 11 or later installed on the machine, else the bundled one.
  INITIALIZE_UI
  FIND_JVM 1 1
  JMP0 @N1@ INSTALL
  SET S3 = @S2@
  GOTO RUN
  :INSTALL
  INSTALL_JVM 1
  JMP0 @N1@ END
  SET S3 = @S1@
  :RUN
  LAUNCH "@S3@" 5
  :END
/:
