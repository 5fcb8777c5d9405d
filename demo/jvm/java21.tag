DESC:  Java 21
JVM_EXE:  bin/java
JVM_PROPERTIES:
  java.specification.version=21
  java.vm.specification.name=Java Virtual Machine Specification
  java.specification.vendor=Oracle Corporation
/:
PATH_HINT:
  usr/lib/jvm/java-21-openjdk-amd64
  usr/lib/jvm/java-21-openjdk-arm64
  usr/lib/jvm/temurin-21-jdk-amd64
  usr/lib/jvm/temurin-21-jre-amd64
  usr/lib/jvm/temurin-21-jdk-arm64
  usr/lib/jvm/java-21-openjdk
  usr/lib/jvm/jre-21
  usr/lib/jvm/jdk-21
  usr/java/jdk-21
  opt/java/jdk-21
  opt/jdk-21
/:
SEARCH_ALL:  0
CLASSPATH:  "-classpath "
CLASSPATH_SEPARATOR:  :
SYSTEM:  -D
SYSTEM_SEPARATOR:  =
