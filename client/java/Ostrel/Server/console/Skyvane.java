// The Sky.Vane console as the demo installation ships it: one window titled "Ostrel Sky.Vane"
// that shows the browser's program path and bookmark location the launcher handed over. The
// launcher waits for this program; it ends (exit code 0) when the user closes the window.
//
// Two environment variables serve automated runs and change nothing the launcher passes:
//   SKYVANE_CONSOLE_ARGS_FILE    file to receive the arguments, one per line, before the window
//                                opens
//   SKYVANE_CONSOLE_AUTOCLOSE_MS close the window by itself after that many milliseconds
package Ostrel.Server.console;

import Ostrel.Server.common.ArgumentRecord;
import java.awt.BorderLayout;
import java.awt.Font;
import java.awt.GraphicsEnvironment;
import java.awt.GridBagConstraints;
import java.awt.GridBagLayout;
import java.awt.Insets;
import javax.swing.BorderFactory;
import javax.swing.JButton;
import javax.swing.JFrame;
import javax.swing.JLabel;
import javax.swing.JPanel;
import javax.swing.JTextField;
import javax.swing.SwingUtilities;
import javax.swing.Timer;
import javax.swing.WindowConstants;

public final class Skyvane {
    // The launcher's splash screen waits for a window with exactly this title.
    static final String TITLE = "Ostrel Sky.Vane";

    private Skyvane() {}

    public static void main(String[] args) {
        String argsFile = System.getenv("SKYVANE_CONSOLE_ARGS_FILE");
        if (argsFile != null && !argsFile.isEmpty() && !ArgumentRecord.write("Sky.Vane console", argsFile, args)) {
            System.exit(1);
        }
        if (GraphicsEnvironment.isHeadless()) {
            System.err.println("Sky.Vane console: no display to open the window on (is DISPLAY set?)");
            System.exit(1);
        }
        long autoCloseMs = parseAutoClose(System.getenv("SKYVANE_CONSOLE_AUTOCLOSE_MS"));
        SwingUtilities.invokeLater(() -> showWindow(args, autoCloseMs));
    }


    static long parseAutoClose(String text) {
        if (text == null || text.isEmpty()) {
            return 0;
        }
        try {
            long ms = Long.parseLong(text.trim());
            if (ms > 0) {
                return ms;
            }
        } catch (NumberFormatException e) {
            // reported below
        }
        System.err.println("Sky.Vane console: ignoring SKYVANE_CONSOLE_AUTOCLOSE_MS=" + text);
        return 0;
    }

    private static void showWindow(String[] args, long autoCloseMs) {
        JFrame frame = new JFrame(TITLE);
        frame.setDefaultCloseOperation(WindowConstants.EXIT_ON_CLOSE);

        JPanel fields = new JPanel(new GridBagLayout());
        fields.setBorder(BorderFactory.createEmptyBorder(12, 12, 6, 12));
        JLabel heading = new JLabel("The Sky.Vane client is running.");
        heading.setFont(heading.getFont().deriveFont(Font.BOLD));
        GridBagConstraints c = new GridBagConstraints();
        c.gridx = 0;
        c.gridy = 0;
        c.gridwidth = 2;
        c.anchor = GridBagConstraints.WEST;
        c.insets = new Insets(0, 0, 10, 0);
        fields.add(heading, c);

        // The launcher always passes two arguments; anything else is shown as it came.
        String[] labels = {"Browser:", "Bookmarks:"};
        int rows = Math.max(2, args.length);
        for (int i = 0; i < rows; i++) {
            String label = i < labels.length ? labels[i] : "Argument " + (i + 1) + ":";
            String value = i < args.length ? args[i] : "";
            addRow(fields, i + 1, label, value);
        }

        JButton close = new JButton("Close");
        close.addActionListener(e -> closeWindow(frame));
        JPanel buttons = new JPanel();
        buttons.add(close);

        frame.getContentPane().add(fields, BorderLayout.CENTER);
        frame.getContentPane().add(buttons, BorderLayout.SOUTH);
        frame.pack();
        frame.setLocationRelativeTo(null);
        frame.setVisible(true);
        frame.toFront();

        if (autoCloseMs > 0) {
            Timer timer = new Timer((int) Math.min(autoCloseMs, Integer.MAX_VALUE),
                                    e -> closeWindow(frame));
            timer.setRepeats(false);
            timer.start();
        }
    }

    private static void addRow(JPanel panel, int row, String label, String value) {
        GridBagConstraints c = new GridBagConstraints();
        c.gridy = row;
        c.gridx = 0;
        c.anchor = GridBagConstraints.WEST;
        c.insets = new Insets(2, 0, 2, 8);
        panel.add(new JLabel(label), c);

        JTextField field = new JTextField(value, Math.max(32, Math.min(value.length() + 2, 72)));
        field.setEditable(false);
        c = new GridBagConstraints();
        c.gridy = row;
        c.gridx = 1;
        c.fill = GridBagConstraints.HORIZONTAL;
        c.weightx = 1;
        c.insets = new Insets(2, 0, 2, 0);
        panel.add(field, c);
    }

    private static void closeWindow(JFrame frame) {
        frame.dispose();
        System.exit(0);
    }
}
