// A program the checks start is looked for first, so that a missing one fails
// the set-up at once, named with the Debian package that brings it.
import { accessSync, constants } from 'node:fs';
import path from 'node:path';

const runnable = (file) => { try { accessSync(file, constants.X_OK); return true; } catch { return false; } };

export function requireProgram(program, debianPackage) {
  const folders = program.includes('/') ? [''] : (process.env.PATH || '').split(path.delimiter);
  if (!folders.some((folder) => runnable(path.join(folder, program))))
    throw new Error(`${program} is not installed: it comes with the Debian package ${debianPackage} (./run test installs it).`);
  return program;
}
