DESC:  Sample JVM
JVM_EXE:  bin/java
