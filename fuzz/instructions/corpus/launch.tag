INSTRUCTIONS:
  LAUNCH "a ""quoted"" name" 5
  LAUNCH "open 5
/:
