// Renders the funnel pages' PNG icons from data/templates/favicon.svg in
// Chromium. Run: node tools/make-icons.mjs (after tests/web/run.sh has installed its packages)
import { readFile } from 'node:fs/promises';
import { fileURLToPath } from 'node:url';
import { renderSvg } from '../tests/web/lib/browser.mjs';

const templates = fileURLToPath(new URL('../data/templates/', import.meta.url));
// Apple's icon gets the icon's own colour behind it: iOS shows transparency as black.
await renderSvg(await readFile(templates + 'favicon.svg', 'utf8'), [['favicon-32.png', 32], ['apple-touch-icon.png', 180, '#5b1a7a']], templates);
