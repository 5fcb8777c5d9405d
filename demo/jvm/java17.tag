DESC:  Java 17
JVM_EXE:  bin/java
JVM_PROPERTIES:
  java.specification.version=17
  java.vm.specification.name=Java Virtual Machine Specification
  java.specification.vendor=Oracle Corporation
/:
PATH_HINT:
  usr/lib/jvm/java-17-openjdk-amd64
  usr/lib/jvm/java-17-openjdk-arm64
  usr/lib/jvm/temurin-17-jdk-amd64
  usr/lib/jvm/temurin-17-jre-amd64
  usr/lib/jvm/temurin-17-jdk-arm64
  usr/lib/jvm/java-17-openjdk
  usr/lib/jvm/jre-17
  usr/lib/jvm/jdk-17
  usr/java/jdk-17
  opt/java/jdk-17
  opt/jdk-17
/:
SEARCH_ALL:  0
CLASSPATH:  "-classpath "
CLASSPATH_SEPARATOR:  :
SYSTEM:  -D
SYSTEM_SEPARATOR:  =
