import java.io.File;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Properties;

// The application that the demo launcher starts: it tells the user that it
// started, on which JVM, with which arguments and with which system
// properties (those given on the command line first, then all of them).
public final class SampleApplication {
    private SampleApplication() {
    }

    public static void main(String[] args) {
        System.out.println("Sample application started.");
        System.out.println("JVM: " + System.getProperty("java.vm.name") + " "
                + System.getProperty("java.version") + " ("
                + System.getProperty("java.vendor") + ")");
        System.out.println("Java home: " + System.getProperty("java.home"));
        System.out.println("Class path:");
        String classPath = System.getProperty("java.class.path", "");
        String[] entries = classPath.split(File.pathSeparator);
        for (int i = 0; i < entries.length; i++) {
            if (entries[i].length() > 0) {
                System.out.println("  " + entries[i]);
            }
        }
        System.out.println("Arguments (" + args.length + "):");
        for (int i = 0; i < args.length; i++) {
            System.out.println("  [" + i + "] <" + args[i] + ">");
        }
        printProperties(System.getProperties());
        System.out.flush();
    }

    private static void printProperties(Properties properties) {
        List<String> names = new ArrayList<String>();
        for (Object name : properties.keySet()) {
            names.add(String.valueOf(name));
        }
        Collections.sort(names);
        System.out.println("System properties (" + names.size() + "):");
        for (String name : names) {
            System.out.println("  " + name + "=" + printable(properties.getProperty(name)));
        }
    }

    private static String printable(String value) {
        if (value == null) {
            return "";
        }
        return value.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r");
    }
}
