DESC:  Java 11 or later
JVM_EXE:  bin/java
JVM_PROPERTIES:
  java.specification.version>=11
  java.vm.specification.name=Java Virtual Machine Specification
/:
PATH_HINT:
  usr/lib/jvm/java-25-openjdk-amd64
  usr/lib/jvm/java-25-openjdk-arm64
  usr/lib/jvm/temurin-25-jdk-amd64
  usr/lib/jvm/temurin-25-jre-amd64
  usr/lib/jvm/java-25-openjdk
  usr/lib/jvm/jdk-25
  usr/lib/jvm/java-21-openjdk-amd64
  usr/lib/jvm/java-21-openjdk-arm64
  usr/lib/jvm/temurin-21-jdk-amd64
  usr/lib/jvm/temurin-21-jre-amd64
  usr/lib/jvm/java-21-openjdk
  usr/lib/jvm/jdk-21
  usr/lib/jvm/java-17-openjdk-amd64
  usr/lib/jvm/java-17-openjdk-arm64
  usr/lib/jvm/temurin-17-jdk-amd64
  usr/lib/jvm/temurin-17-jre-amd64
  usr/lib/jvm/java-17-openjdk
  usr/lib/jvm/jdk-17
  usr/lib/jvm/java-11-openjdk-amd64
  usr/lib/jvm/java-11-openjdk-arm64
  usr/lib/jvm/temurin-11-jdk-amd64
  usr/lib/jvm/temurin-11-jre-amd64
  usr/lib/jvm/java-11-openjdk
  usr/lib/jvm/jdk-11
/:
SEARCH_ALL:  1
CLASSPATH:  "-classpath "
CLASSPATH_SEPARATOR:  :
SYSTEM:  -D
SYSTEM_SEPARATOR:  =
