INSTRUCTIONS:  install.tag
