package Ostrel.Server.common;

import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;

// What a client program was started with, written for the tests that check it.
public final class ArgumentRecord {
    private ArgumentRecord() {}

    // Writes the arguments one per line. The file appears complete or not at all, so a reader
    // that polls for it never sees half of it. `who` names the program in an error message.
    public static boolean write(String who, String fileName, String[] args) {
        Path target = Paths.get(fileName).toAbsolutePath();
        StringBuilder text = new StringBuilder();
        for (String arg : args) {
            text.append(arg).append('\n');
        }
        try {
            Path temp = Files.createTempFile(target.getParent(), ".args", ".tmp");
            Files.write(temp, text.toString().getBytes(Charset.defaultCharset()));
            Files.move(temp, target, StandardCopyOption.REPLACE_EXISTING,
                       StandardCopyOption.ATOMIC_MOVE);
            return true;
        } catch (IOException e) {
            System.err.println(who + ": cannot write " + fileName + ": " + e.getMessage());
            return false;
        }
    }
}
