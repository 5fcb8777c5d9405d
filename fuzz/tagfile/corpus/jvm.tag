DESC:  Java 11 or later
JVM_EXE:  bin/java
JVM_PROPERTIES:
  java.specification.version>=11
  java.vm.specification.name=Java Virtual Machine Specification
  java.vendor=Oracle...
/:
PATH_HINT:
  usr/lib/jvm/java-17-openjdk-amd64
/:
CLASSPATH:  "-classpath "
CLASSPATH_SEPARATOR:  :
SYSTEM:  -D
SYSTEM_SEPARATOR:  =
JVM_CLASSPATH:  @JVM_HOME@/lib/tools.jar
