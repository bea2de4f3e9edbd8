// What the browser tests share: headless Chromium through puppeteer-core, pages that gather
// their errors, the checks' tally, and looks at the game's picture.
import {mkdtempSync, readFileSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';

import puppeteer from 'puppeteer-core';

export const WIDTH = 320;
export const HEIGHT = 180;

export let failures = 0;
export function check(ok, what) {
  console.log(`${ok ? 'ok' : 'ÉCHEC'} - ${what}`);
  if (!ok) failures += 1;
  return ok;
}

export const pause = (ms) => new Promise((done) => setTimeout(done, ms));

// Debian's Chromium (or PYRELLE_CHROMIUM) in a profile of its own; close() removes it.
export async function launch() {
  const profile = mkdtempSync(join(tmpdir(), 'pyrelle-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.PYRELLE_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--autoplay-policy=user-gesture-required',
           '--force-color-profile=srgb'],  // screenshots in the canvas's own colours
  });
  return {browser, close: async () => {
    await browser.close();
    rmSync(profile, {recursive: true, force: true});
  }};
}

// A page with every console error, uncaught exception and failed request gathered.
export async function open_page(browser, problems, before) {
  const page = await browser.newPage();
  await page.setViewport({width: 1280, height: 800});
  page.on('console', (m) => {
    if (m.type() === 'error') problems.push(`console : ${m.text()}`);
  });
  page.on('pageerror', (e) => problems.push(`exception : ${e.message}`));
  page.on('requestfailed', (r) => problems.push(`requête : ${r.url()} ${r.failure()?.errorText}`));
  page.on('response', (r) => {
    if (r.status() >= 400) problems.push(`réponse ${r.status()} : ${r.url()}`);
  });
  if (before) await page.evaluateOnNewDocument(before);
  return page;
}

// Waits for a condition in the page (or a frame of it), 30 s at most; says which.
export const wait_for = (page, fn, what, ...args) =>
  page.waitForFunction(fn, {timeout: 30000, polling: 50}, ...args)
      .then(() => check(true, what), () => check(false, `${what} (attendu 30 s)`));

// The pixels of the page's first picture (Module.firstFrame) that differ from the reference
// PNG, read by the browser's own decoder, every third pixel (the desktop writes its pictures 3
// times enlarged).
export async function differences_from(page, png_path) {
  const data = readFileSync(png_path).toString('base64');
  return page.evaluate(async (data, width, height) => {
    const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], {type: 'image/png'}),
                                           {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const context = canvas.getContext('2d');
    context.drawImage(bitmap, 0, 0);
    const big = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
    const first = Module.firstFrame;
    if (bitmap.width !== width * 3 || bitmap.height !== height * 3) return ['taille ' + bitmap.width];
    const found = [];
    for (let y = 0; y < height; ++y) {
      for (let x = 0; x < width; ++x) {
        const o = (y * width + x) * 4;
        const r = (3 * y * bitmap.width + 3 * x) * 4;
        if (first[o] !== big[r] || first[o + 1] !== big[r + 1] || first[o + 2] !== big[r + 2]) {
          found.push(`(${x}, ${y}) : ${first.slice(o, o + 3)} au lieu de ${big.slice(r, r + 3)}`);
        }
      }
    }
    return found;
  }, data, WIDTH, HEIGHT);
}

// In the page: the energy bar's frame, from (5, 5) to (68, 11): its outline, and its dark
// inside around the bar (which runs from (7, 7)). Shown during a run.
export const hud_shown = () => {
  const c = document.getElementById('ecran').getContext('2d');
  const is = ([x, y], colour) => {
    const p = c.getImageData(x, y, 1, 1).data;
    return p[0] === (colour >> 16) && p[1] === ((colour >> 8) & 255) && p[2] === (colour & 255);
  };
  return [[5, 5], [68, 5], [5, 11], [68, 11]].every((p) => is(p, 0x504660)) &&
         [[6, 6], [67, 6], [6, 10], [67, 10]].every((p) => is(p, 0x0c0a12));
};
