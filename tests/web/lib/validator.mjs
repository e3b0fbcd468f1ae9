// The Nu Html Checker from the vnu-jar package, run with the machine's Java.
import { execFile } from 'node:child_process';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';

const require = createRequire(import.meta.url);
export const vnuJar = String(require('vnu-jar'));

// Checks every file in one Java start; returns the messages of each file.
export function validate(files) {
  return new Promise((resolve, reject) => {
    execFile(
      process.env.JAVA || 'java',
      ['-jar', vnuJar, '--format', 'json', '--also-check-css', ...files],
      { maxBuffer: 64 * 1024 * 1024 },
      (error, stdout, stderr) => {
        let report;
        try {
          report = JSON.parse(stderr);
        } catch {
          reject(new Error(`The Nu Html Checker did not answer in JSON: ${error ? error.message : ''}\n${stderr}`));
          return;
        }
        const byFile = new Map(files.map((f) => [f, []]));
        for (const message of report.messages) {
          // The checker writes file:/path; URL parsing makes that file:///path.
          const file = message.url && files.find((f) => pathToFileURL(f).href === new URL(message.url).href);
          // A message about no file (e.g. an unreadable one) must not go unnoticed.
          if (!file) {
            reject(new Error(`The Nu Html Checker reported: ${JSON.stringify(message)}`));
            return;
          }
          byFile.get(file).push(message);
        }
        resolve(byFile);
      },
    );
  });
}
