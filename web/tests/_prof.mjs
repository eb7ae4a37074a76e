import { launch, openPage, webDir, fillBoth, settle, pressProcess } from './lib/browser.mjs';
import { serve } from './lib/server.mjs';
import { randomSource, randomText } from './lib/texts.mjs';
const browser = await launch();
const server = await serve(webDir);
const text = randomText(randomSource(5), ['latin', 'latin', 'latin', 'cyrillic', 'greek', 'cjk'], 600000, '\n');
for (const variant of ['A', 'B', 'A', 'B']) {
  const { page, context } = await openPage(browser, `${server.origin}/`);
  if (variant === 'B') await page.evaluate(() => { const s = new CSSStyleSheet(); s.replaceSync('#window[aria-busy="true"] textarea { cursor: auto !important }'); document.adoptedStyleSheets = [s]; });
  await fillBoth(page, 'pw', text);
  await settle(page);
  await page.evaluate(() => { window.lt = []; new PerformanceObserver((l) => { for (const e of l.getEntries()) window.lt.push([Math.round(e.startTime), Math.round(e.duration)]); }).observe({ type: 'longtask' }); });
  await pressProcess(page);
  await settle(page);
  const a = await page.evaluate(() => window.lt.splice(0));
  await pressProcess(page);
  await settle(page);
  console.log(variant, a, await page.evaluate(() => window.lt), await page.evaluate(() => performance.getEntriesByName('tarnel-process').map((e) => [Math.round(e.startTime), Math.round(e.duration)])));
  await context.close();
}
await browser.close(); await server.stop();
