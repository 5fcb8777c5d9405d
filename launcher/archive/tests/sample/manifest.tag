ACTION:  RUN_INSTRUCTIONS
INSTRUCTIONS:  install.tag
JVM:
  jvm/sun.tag
  id=20 jvm/ibm.tag
/:
LAUNCHSCRIPT:  launch.tag
CLASSPATH_JAR:  lib/app.jar
JVM_INSTALLER:  setup.bin
VERIFY_JAR:  verify.jar
APPLICATION_JAR:  application.jar
