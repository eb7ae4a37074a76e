// SPDX-License-Identifier: MIT
// Lighthouse's mobile audit of the built page, served on 127.0.0.1, run a few times
// (its performance score moves with the machine's load): prints each category's
// median and fails below the page's targets.
//   node audit.mjs PAGE-DIR [RUNS]
import lighthouse from 'lighthouse';
import * as chromeLauncher from 'chrome-launcher';
import { serve } from '../tests/lib/server.mjs';

const kTargets = { performance: 0.95, accessibility: 1, 'best-practices': 1 };
const root = process.argv[2];
const runs = Number(process.argv[3] ?? 3);

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

const server = await serve(root);
const scores = {};
try {
  for (let run = 0; run < runs; ++run) {
    // A fresh profile each run, as a first visit; without background networking,
    // which this machine's closed network refuses.
    const chrome = await chromeLauncher.launch({
      chromePath: '/usr/bin/chromium',
      chromeFlags: ['--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run',
                    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    try {
      const result = await lighthouse(`${server.origin}/`, {
        port: chrome.port, output: 'json', logLevel: 'error',
        onlyCategories: Object.keys(kTargets),
      });
      for (const [name, category] of Object.entries(result.lhr.categories))
        (scores[name] ??= []).push(category.score);
    } finally {
      await chrome.kill();
    }
  }
} finally {
  await server.stop();
}

let missed = false;
for (const [name, target] of Object.entries(kTargets)) {
  const got = median(scores[name]);
  const met = got >= target;
  missed ||= !met;
  console.log(`lighthouse ${name}: ${Math.round(got * 100)} (runs: ${scores[name].map((s) => Math.round(s * 100)).join(', ')}; target ${target * 100})${met ? '' : '  MISSED'}`);
}
process.exit(missed ? 1 : 0);
