DESC:  Sample Application
DISPLAY_CONSOLE:  1
CLASS_DATA_ARCHIVE:  1
ARCHIVE:  %APPLICATION_ARCHIVE%()
COMMAND:  """@JVM_HOME@/@JVM_EXE@"" %SYSTEMPROP%(""sample.jvm.home"", ""@JVM_HOME@"") %SYSTEMPROP%(""sample.jvm.file"", ""@JVM_FILE@"") %RUNTIME_SYSTEMPROP%() %RUNTIME_JAVAARGS%() %CP%() SampleApplication"
