DESC:  Other JVM
JVM_EXE:  jre/bin/java
