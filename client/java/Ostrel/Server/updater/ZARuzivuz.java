// The Sky.Vane updater as the demo installation ships it. It installs nothing; it ends with the
// exit code that the installation tells it, so that every answer the launcher acts on can be
// tried: 0 = update done, 2 = update done and the product must restart, anything else = the
// update was not completed.
//
// The code is read from the file "updater-exit-code" in the installation directory (the folder
// that holds Classes\). No file means 0.
//
//   SKYVANE_UPDATER_ARGS_FILE    file to receive the arguments, one per line (for automated runs)
package Ostrel.Server.updater;

import Ostrel.Server.common.ArgumentRecord;
import java.io.IOException;
import java.net.URISyntaxException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.security.CodeSource;

public final class ZARuzivuz {
    static final String EXIT_CODE_FILE = "updater-exit-code";
    // Exit code for an updater that cannot tell what it was asked to do.
    static final int FAILED = 1;

    private ZARuzivuz() {}

    public static void main(String[] args) {
        String argsFile = System.getenv("SKYVANE_UPDATER_ARGS_FILE");
        if (argsFile != null && !argsFile.isEmpty() && !ArgumentRecord.write("Sky.Vane updater", argsFile, args)) {
            System.exit(FAILED);
        }
        Path installDir = installationDirectory();
        int code = installDir == null ? FAILED : exitCodeFor(installDir);
        System.out.println("Sky.Vane updater: " + describe(code));
        System.exit(code);
    }

    static String describe(int code) {
        if (code == 0) {
            return "the client is up to date";
        }
        if (code == 2) {
            return "the client was updated and must restart";
        }
        return "the update was not completed (exit code " + code + ")";
    }

    // The installation directory is the parent of the class path entry this class came from.
    static Path installationDirectory() {
        try {
            CodeSource source = ZARuzivuz.class.getProtectionDomain().getCodeSource();
            if (source != null && source.getLocation() != null) {
                Path classes = Paths.get(source.getLocation().toURI());
                if (classes.getParent() != null) {
                    return classes.getParent();
                }
            }
        } catch (URISyntaxException | SecurityException | IllegalArgumentException e) {
            System.err.println("Sky.Vane updater: " + e.getMessage());
        }
        System.err.println("Sky.Vane updater: cannot tell the installation directory");
        return null;
    }

    static int exitCodeFor(Path installDir) {
        Path file = installDir.resolve(EXIT_CODE_FILE);
        if (!Files.exists(file)) {
            return 0;
        }
        String text;
        try {
            text = new String(Files.readAllBytes(file), StandardCharsets.US_ASCII).trim();
        } catch (IOException e) {
            System.err.println("Sky.Vane updater: cannot read " + file + ": " + e.getMessage());
            return FAILED;
        }
        try {
            return Integer.parseInt(text);
        } catch (NumberFormatException e) {
            System.err.println("Sky.Vane updater: " + file + " holds \"" + text
                               + "\", not an exit code");
            return FAILED;
        }
    }

}
