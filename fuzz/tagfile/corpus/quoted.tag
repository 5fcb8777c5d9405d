Q:  "  keeps ""blanks"" "
E:  ""
