// A tiny static server on 127.0.0.1: the built funnels under /<fixture>/, plus
// the few addresses a funnel sends its visitors to (form action, offer, back).
import http from 'node:http';
import { readFile } from 'node:fs/promises';
import path from 'node:path';

const types = { '.html': 'text/html', '.css': 'text/css', '.js': 'text/javascript', '.jpg': 'image/jpeg', '.png': 'image/png', '.webp': 'image/webp', '.avif': 'image/avif', '.gif': 'image/gif', '.svg': 'image/svg+xml' };

// Pages outside the funnels that the fixtures point at, and the script a pasted sign-up form loads from its autoresponder.
const page = (title) => ['text/html; charset=utf-8', `<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>${title}</title></head><body><main><h1>${title}</h1></main></body></html>`];
const extras = { '/start': page('Where the visitor came from'), '/offer': page('The offer'), '/came-back': page('The back address'), '/subscribe': page('Subscribed'),
  '/forms/embed.js': ['text/javascript', 'window.tandrelFormScript = true;\n'] };

export async function startServer() {
  const mounts = new Map();
  // Every field as sent, repeated names and their order included.
  const sentFields = [];

  const server = http.createServer(async (req, res) => {
    const url = new URL(req.url, 'http://127.0.0.1');
    if (url.pathname === '/subscribe' && req.method === 'POST') {
      let body = '';
      for await (const chunk of req) body += chunk;
      sentFields.push([...new URLSearchParams(body)]);
    }
    const extra = extras[url.pathname];
    if (extra) return void res.writeHead(200, { 'Content-Type': extra[0] }).end(extra[1]);
    const [, mount, ...rest] = url.pathname.split('/');
    const root = mounts.get(mount);
    const file = decodeURIComponent(rest.join('/')) || 'index.html';
    try {
      if (!root || file.split('/').includes('..')) throw new Error('not ours');
      const body = await readFile(path.join(root, file));
      // No charset in the header: like many hosts, the page's own <meta charset> has to work.
      res.writeHead(200, { 'Content-Type': types[path.extname(file).toLowerCase()] || 'application/octet-stream' });
      // ?trickle: the page arrives a network packet at a time, as on a slow phone link, and the browser paints what it has.
      let at = 0;
      if (url.searchParams.has('trickle')) for (; body.length - at > 1400; at += 1400) await new Promise((resolve) => res.write(body.subarray(at, at + 1400), () => setTimeout(resolve, 150)));
      res.end(body.subarray(at));
    } catch {
      res.writeHead(404).end();
    }
  });

  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const origin = `http://127.0.0.1:${server.address().port}`;
  return {
    origin,
    host: new URL(origin).host,
    sentFields,
    mount: (name, folder) => mounts.set(name, folder),
    mounted: (name) => mounts.has(name),
    close() {
      server.closeAllConnections();
      return new Promise((resolve) => server.close(resolve));
    },
  };
}
