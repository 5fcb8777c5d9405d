DESC:  Sample Application
COMMAND:  "@JVM_EXE@" -jar app.jar
