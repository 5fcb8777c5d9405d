DESC:  Java 25
JVM_EXE:  bin/java
JVM_PROPERTIES:
  java.specification.version=25
  java.vm.specification.name=Java Virtual Machine Specification
  java.specification.vendor=Oracle Corporation
/:
PATH_HINT:
  usr/lib/jvm/java-25-openjdk-amd64
  usr/lib/jvm/java-25-openjdk-arm64
  usr/lib/jvm/temurin-25-jdk-amd64
  usr/lib/jvm/temurin-25-jre-amd64
  usr/lib/jvm/temurin-25-jdk-arm64
  usr/lib/jvm/java-25-openjdk
  usr/lib/jvm/jre-25
  usr/lib/jvm/jdk-25
  usr/java/jdk-25
  opt/java/jdk-25
  opt/jdk-25
/:
SEARCH_ALL:  0
CLASSPATH:  "-classpath "
CLASSPATH_SEPARATOR:  :
SYSTEM:  -D
SYSTEM_SEPARATOR:  =
