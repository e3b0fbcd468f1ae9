// The programs the checks start, each found before it is needed, so that a
// missing one fails the set-up at once, named with the Debian package that brings it.
import { accessSync, constants } from 'node:fs';
import path from 'node:path';

export function requireProgram(program, debianPackage) {
  const folders = program.includes('/') ? [''] : (process.env.PATH || '').split(path.delimiter).filter(Boolean);
  for (const folder of folders) {
    try {
      accessSync(path.join(folder, program), constants.X_OK);
      return program;
    } catch {}
  }
  throw new Error(`${program} is not installed: it comes with the Debian package ${debianPackage} (./run test installs it).`);
}
