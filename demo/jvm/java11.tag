DESC:  Java 11
JVM_EXE:  bin/java
JVM_PROPERTIES:
  java.specification.version=11
  java.vm.specification.name=Java Virtual Machine Specification
  java.specification.vendor=Oracle Corporation
/:
PATH_HINT:
  usr/lib/jvm/java-11-openjdk-amd64
  usr/lib/jvm/java-11-openjdk-arm64
  usr/lib/jvm/temurin-11-jdk-amd64
  usr/lib/jvm/temurin-11-jre-amd64
  usr/lib/jvm/temurin-11-jdk-arm64
  usr/lib/jvm/java-11-openjdk
  usr/lib/jvm/jre-11
  usr/lib/jvm/jdk-11
  usr/java/jdk-11
  opt/java/jdk-11
  opt/jdk-11
/:
SEARCH_ALL:  1
CLASSPATH:  "-classpath "
CLASSPATH_SEPARATOR:  :
SYSTEM:  -D
SYSTEM_SEPARATOR:  =
