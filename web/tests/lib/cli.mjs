// SPDX-License-Identifier: MIT
// The native tarnel-cli, the reference the page must seal and open exactly as.
import { execFile } from 'node:child_process';
import { mkdtemp, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';

const run = promisify(execFile);
const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
export const cliPath = path.resolve(repo, process.env.TARNEL_CLI ?? 'build/default/cli/tarnel-cli');

// Seals (`--seal`) or opens (`--open`) text with password; returns standard output
// as UTF-8 with the one line break the CLI ends a sealed text with removed.
export async function cli(direction, password, text) {
  const dir = await mkdtemp(path.join(tmpdir(), 'tarnel-e2e-'));
  try {
    // tarnel-cli takes the password's first line, as the page does a pasted one.
    await writeFile(path.join(dir, 'password'), password);
    await writeFile(path.join(dir, 'text'), text);
    const { stdout } = await run(
      cliPath,
      ['--password-file', path.join(dir, 'password'), direction, path.join(dir, 'text')],
      { encoding: 'buffer', maxBuffer: 1 << 30 },
    );
    const out = stdout.toString('utf8');
    return direction === '--seal' ? out.replace(/\n$/, '') : out;
  } finally {
    await rm(dir, { recursive: true, force: true });
  }
}

export const seal = (password, text) => cli('--seal', password, text);
export const open = (password, sealed) => cli('--open', password, sealed);
