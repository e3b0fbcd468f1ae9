// The Nu Html Checker from the vnu-jar package, run with the machine's Java.
import { execFile } from 'node:child_process';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';

import { requireProgram } from './programs.mjs';

const vnuJar = String(createRequire(import.meta.url)('vnu-jar'));
// Container queries (every browser since 2023) are still unknown to the checker's CSS part.
const checkerGap = /^CSS: (“container(-type|-name)?”: Property “container(-type|-name)?” doesn't exist|Unrecognized at-rule “@container”)/;

// Checks every file in one Java start; returns the messages of each file.
export function validate(files) {
  return new Promise((resolve, reject) => {
    const args = ['-jar', vnuJar, '--format', 'json', '--also-check-css', ...files];
    execFile(requireProgram(process.env.JAVA || 'java', 'default-jre-headless'), args, { maxBuffer: 64 * 1024 * 1024 }, (error, stdout, stderr) => {
      try {
        const byFile = new Map(files.map((f) => [f, []]));
        for (const message of JSON.parse(stderr).messages) {
          // The checker writes file:/path; URL parsing makes that file:///path.
          const file = message.url && files.find((f) => pathToFileURL(f).href === new URL(message.url).href);
          // A message about no file (e.g. an unreadable one) must not go unnoticed.
          if (!file) throw new Error(`The Nu Html Checker reported: ${JSON.stringify(message)}`);
          if (!checkerGap.test(message.message)) byFile.get(file).push(message);
        }
        resolve(byFile);
      } catch (failure) {
        reject(failure instanceof SyntaxError ? new Error(`The Nu Html Checker did not answer in JSON: ${error ? error.message : ''}\n${stderr}`) : failure);
      }
    });
  });
}
