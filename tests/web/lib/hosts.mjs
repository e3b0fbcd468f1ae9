// Real upload servers on 127.0.0.1 (OpenSSH's sshd for SFTP, pure-ftpd for
// FTPS), so that some funnels reach the browser the way visitors get them:
// published by tandrel-cli and served from the server's folder.
import { execFile, spawn } from 'node:child_process';
import { chown, mkdir, mkdtemp, rm, writeFile } from 'node:fs/promises';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { promisify } from 'node:util';

import { requireProgram } from './programs.mjs';

const run = promisify(execFile);
const programs = [['ssh-keygen', 'openssh-client'], ['/usr/sbin/sshd', 'openssh-server'], ['openssl', 'openssl'], ['pure-pw', 'pure-ftpd'], ['pure-ftpd', 'pure-ftpd']];

// Servers still running when the checks end, or are stopped, go with them.
const live = new Set();
const killAll = () => {
  for (const child of live) try { process.kill(-child.pid, 'SIGKILL'); } catch {}
  live.clear();
};
process.on('exit', killAll);
for (const signal of ['SIGINT', 'SIGTERM']) process.once(signal, () => process.exit(128 + os.constants.signals[signal]));

const freePort = () =>
  new Promise((resolve, reject) => {
    const probe = net.createServer().on('error', reject).listen(0, '127.0.0.1', () => { const { port } = probe.address(); probe.close(() => resolve(port)); });
  });

async function waitForPort(port) {
  for (let i = 0; i < 100; i += 1) {
    const socket = net.connect(port, '127.0.0.1');
    if (await new Promise((resolve) => socket.on('connect', () => socket.end(() => resolve(true))).on('error', () => resolve(false)))) return;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(`no server came up on port ${port}`);
}

// Its own process group: the servers fork a process per connection, and all are killed at the end.
function launch(program, args) {
  const child = spawn(program, args, { stdio: ['ignore', 'ignore', 'inherit'], detached: true });
  live.add(child);
  // Fails when the server cannot start or ends before it is stopped.
  child.failed = new Promise((_, reject) => child.on('error', reject).on('exit', (code, signal) => reject(new Error(`${program} ended at once (${signal || `exit status ${code}`})`))));
  child.failed.catch(() => {});
  return child;
}

export async function startHosts() {
  for (const [program, debianPackage] of programs) requireProgram(program, debianPackage);
  const dir = await mkdtemp(path.join(os.tmpdir(), 'tandrel-hosts-'));
  const close = () => {
    killAll();
    return rm(dir, { recursive: true, force: true });
  };
  return setUp(dir, close).catch((error) => close().then(() => Promise.reject(error)));
}

async function setUp(dir, close) {
  const [home, sshRoot, ftpRoot] = ['home', 'sftp', 'ftp'].map((name) => path.join(dir, name));
  for (const folder of [home, sshRoot, ftpRoot]) await mkdir(folder);
  await mkdir('/run/sshd', { recursive: true }).catch(() => {});

  // SFTP, logged in as this user with a key of the test's own.
  for (const key of ['host', 'client']) await run('ssh-keygen', ['-q', '-t', 'ed25519', '-N', '', '-f', path.join(dir, key)]);
  const sshPort = await freePort();
  const sshConfig = path.join(dir, 'sshd_config');
  await writeFile(sshConfig, [`ListenAddress 127.0.0.1`, `Port ${sshPort}`, `HostKey ${dir}/host`, `AuthorizedKeysFile ${dir}/client.pub`,
    'PasswordAuthentication no', 'KbdInteractiveAuthentication no', 'UsePAM no', 'StrictModes no',
    'PermitRootLogin prohibit-password', 'PidFile none', 'Subsystem sftp internal-sftp', ''].join('\n'));
  const children = [launch('/usr/sbin/sshd', ['-D', '-e', '-f', sshConfig])];

  // FTPS with a certificate the publish is told to trust.
  await chown(ftpRoot, 65534, 65534);
  const password = 'web-check-Pa55';
  const users = path.join(dir, 'users');
  const adding = run('pure-pw', ['useradd', 'tester', '-u', '65534', '-g', '65534', '-d', ftpRoot, '-f', users]);
  adding.child.stdin.end(`${password}\n${password}\n`);
  await adding;
  await run('pure-pw', ['mkdb', `${users}.pdb`, '-f', users]);
  const [cert, key] = ['cert.pem', 'key.pem'].map((name) => path.join(dir, name));
  await run('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2', '-subj', '/CN=127.0.0.1',
    '-addext', 'subjectAltName=IP:127.0.0.1', '-keyout', key, '-out', cert]);
  const ftpPort = await freePort();
  children.push(launch('pure-ftpd', ['-l', `puredb:${users}.pdb`, '-S', `127.0.0.1,${ftpPort}`, '-Y', '2', '-2', `${cert},${key}`, '-E', '-A', '-j', '-H', '-f', 'none']));

  await Promise.race([Promise.all([waitForPort(sshPort), waitForPort(ftpPort)]), ...children.map((child) => child.failed)]);
  return {
    sftp: { url: `sftp://${os.userInfo().username}@127.0.0.1:${sshPort}${sshRoot}/site`, folder: path.join(sshRoot, 'site'), args: ['--key', path.join(dir, 'client'), '--accept-new-host-key'] },
    ftps: { url: `ftps://tester@127.0.0.1:${ftpPort}/site`, folder: path.join(ftpRoot, 'site'), args: [] },
    env: { ...process.env, HOME: home, TANDREL_PASSWORD: password, TANDREL_CA_FILE: cert },
    close,
  };
}
