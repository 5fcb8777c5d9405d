// Reports system properties of the JVM it runs on, for the launcher's JVM
// verification: first the line 1739021872, then one line per argument with
// the value of the system property of that name (an empty line when the
// JVM has no such property).
//
// Values that themselves contain line breaks are written with the breaks
// as \n and \r, so that every property keeps exactly one line.
public final class Verify {
    private static final String MAGIC = "1739021872";

    private Verify() {
    }

    public static void main(String[] args) {
        StringBuilder out = new StringBuilder(MAGIC).append('\n');
        for (int i = 0; i < args.length; i++) {
            String value = null;
            try {
                value = System.getProperty(args[i]);
            } catch (SecurityException e) {
                // A property the JVM will not reveal reads as absent.
            } catch (IllegalArgumentException e) {
                // An empty name.
            }
            out.append(oneLine(value)).append('\n');
        }
        System.out.print(out);
        System.out.flush();
    }

    private static String oneLine(String value) {
        if (value == null) {
            return "";
        }
        StringBuilder line = new StringBuilder(value.length());
        for (int i = 0; i < value.length(); i++) {
            char c = value.charAt(i);
            if (c == '\n') {
                line.append("\\n");
            } else if (c == '\r') {
                line.append("\\r");
            } else {
                line.append(c);
            }
        }
        return line.toString();
    }
}
