// SPDX-License-Identifier: MIT
// What the page holds when a result is too large for the box, read as a user gets
// it: saved as a file.
import { readFile } from 'node:fs/promises';
import { boxValue } from './browser.mjs';

export const isHeld = (page) => page.$eval('#held', (panel) => !panel.hidden);

// Saves with `trigger` (Save on the held panel by default): { name, bytes }.
export async function saved(page, trigger = () => page.click('#held-save')) {
  const [download] = await Promise.all([page.waitForEvent('download'), trigger()]);
  return { name: download.suggestedFilename(), bytes: await readFile(await download.path()) };
}

// The result as the box would show it: the box's text, or the held result saved,
// without the line break a saved sealed text ends with.
export async function resultText(page) {
  if (!(await isHeld(page))) return boxValue(page);
  const { name, bytes } = await saved(page);
  const text = bytes.toString('utf8');
  return name === 'sealed.txt' ? text.replace(/\n$/, '') : text;
}
