// Renders the program's menu icons, packaging/icons/tandrel-SIZE.png, from
// packaging/icons/tandrel.svg in Chromium. Run: node tools/make-app-icons.mjs (after tests/web/run.sh has installed its packages)
import { readFile } from 'node:fs/promises';
import { fileURLToPath } from 'node:url';
import { renderSvg } from '../tests/web/lib/browser.mjs';

const icons = fileURLToPath(new URL('../packaging/icons/', import.meta.url));
const sizes = [16, 22, 24, 32, 48, 64, 128, 256];
await renderSvg(await readFile(icons + 'tandrel.svg', 'utf8'), sizes.map((size) => [`tandrel-${size}.png`, size]), icons);
