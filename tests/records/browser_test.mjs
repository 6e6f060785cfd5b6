// The world records in a real browser: Debian's chromium driven by
// playwright-core. The headless game wins level 1 with RecordsServer set to
// a records server started here on 127.0.0.1 (proving with the real
// zirpel-verify); the run shows on the level's page with the game's time and
// name; the download link gives the exact bytes of the game's best replay;
// zirpel-verify on them prints the same time; the run's page names the
// command that proves it again.
//
//   node tests/records/browser_test.mjs [--screenshot FILE] [--db FILE]
//
// Needs ZIRPEL_RECORDS_BIN, ZIRPEL_VERIFY_BIN, ZIRPEL_HEADLESS_BIN and
// ZIRPEL_SOURCE_DIR (CTest sets them). --db serves a filled store and
// --screenshot keeps a picture of a board page.
import {execFileSync, spawn} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {chromium} from 'playwright-core';

const args = process.argv.slice(2);
const option = (name) => {
  const i = args.indexOf(name);
  return i >= 0 ? args[i + 1] : undefined;
};
const source = process.env.ZIRPEL_SOURCE_DIR;
const serverBin = process.env.ZIRPEL_RECORDS_BIN;
const verifier = process.env.ZIRPEL_VERIFY_BIN;
const runner = process.env.ZIRPEL_HEADLESS_BIN;
const levels = path.join(source, 'res/maps');
const level = '01 Erste Schritte.mapGame1';
const name = 'Zirpel-Testerin <3';

let failures = 0;
const check = (ok, what) => {
  console.log(`${ok ? 'ok' : 'FAILED'}: ${what}`);
  if (!ok) failures += 1;
};

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zirpel-browser-'));
const db = option('--db') || path.join(work, 'records.sqlite');
const serverArgs = [
  '--listen', '127.0.0.1:0', '--db', db, '--levels', levels, '--verifier', verifier, '--rate', '0',
  '--request-rate', '0'
];
if (process.env.ZIRPEL_VERIFIER_MEMORY) {
  serverArgs.push('--verifier-memory', process.env.ZIRPEL_VERIFIER_MEMORY);
}
const server = spawn(serverBin, serverArgs, {stdio: ['ignore', 'ignore', 'pipe']});
let browser;
const deadline = setTimeout(() => {
  console.log('FAILED: the browser test took longer than 100 s');
  server.kill('SIGKILL');
  process.exit(1);
}, 100000);

try {
  const base = await new Promise((resolve, reject) => {
    let text = '';
    server.stderr.on('data', (chunk) => {
      text += chunk;
      const m = text.match(/hoert auf (http:\/\/127\.0\.0\.1:\d+)/);
      if (m) resolve(m[1]);
    });
    server.on('exit', (code) => reject(new Error(`zirpel-records ended (${code}): ${text}`)));
  });

  // The game wins level 1 (the only race level of its tree) and sends the
  // record; records-wait holds the script until the server has answered.
  const root = path.join(work, 'game');
  fs.mkdirSync(path.join(root, 'Res', 'maps'), {recursive: true});
  fs.mkdirSync(path.join(root, 'res'));
  fs.symlinkSync(path.join(source, 'res', 'gfx'), path.join(root, 'res', 'gfx'));
  for (const f of ['Mainmenu.startmap', level]) {
    fs.copyFileSync(path.join(levels, f), path.join(root, 'Res', 'maps', f));
  }
  fs.writeFileSync(path.join(root, 'Res', 'settings.ini'),
                   'Display=320x200\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\n' +
                       `RecordsServer=${base}\r\nPlayerName=${name}\r\n`);
  fs.writeFileSync(path.join(root, 'script.txt'), [
    'until menu', 'key DOWN', 'frames 2', 'key ENTER', 'until levelselect', 'frames 2',
    'key ENTER', 'until session', 'frames 40', 'hold RIGHT', 'frames 200', 'release RIGHT',
    'frames 200', 'records-wait 60', ''
  ].join('\n'));
  execFileSync(runner, ['--root', root, path.join(root, 'script.txt')], {
    stdio: 'ignore',
    timeout: 60000,
    env: {...process.env, XDG_DATA_HOME: path.join(root, 'xdg-data'),
          XDG_CONFIG_HOME: path.join(root, 'xdg-config')},
  });
  const replay = fs.readFileSync(path.join(root, 'Res', 'Replays', `${level}.best.zrp`));
  const proveTime = (file) => {
    let out = '';
    try {
      out = execFileSync(verifier, ['--levels', levels, '--json', file]).toString();
    } catch (e) {
      out = `${e.stdout}`;
    }
    try {
      return JSON.parse(out).time;
    } catch (e) {
      return `(no proof: ${out.trim()})`;
    }
  };
  const time = proveTime(path.join(root, 'Res', 'Replays', `${level}.best.zrp`));
  const outbox = fs.readdirSync(path.join(root, 'Res', 'Replays', 'Outbox'));
  check(outbox.length === 1 && outbox[0].endsWith('.answer'),
        `the game's outbox holds the server's answer alone (${outbox})`);
  const answer = JSON.parse(JSON.parse(
      fs.readFileSync(path.join(root, 'Res', 'Replays', 'Outbox', outbox[0]))).answer);
  check(answer.status === 'verified', `the run is verified (${JSON.stringify(answer)})`);
  check(answer.time === time, `the server proved the game's time ${time}`);

  const profile = fs.mkdtempSync(path.join(work, 'profile-'));
  browser = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    acceptDownloads: true,
    viewport: {width: 1000, height: 760},
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'
    ],
  });
  const page = browser.pages()[0] || await browser.newPage();

  await page.goto(`${base}/`);
  check((await page.title()).includes('Weltrekorde'), 'the front page is the world records');
  const levelRow = page.locator('tr', {hasText: '01 Erste Schritte'}).first();
  if (!option('--db')) {
    check((await levelRow.innerText()).includes(name), 'the front page names the record holder');
  }
  await levelRow.locator('a').first().click();
  await page.waitForURL(/\/level\//);
  const row = page.locator('tr', {hasText: name}).first();
  const rowText = await row.innerText();
  check(rowText.includes(`${time} s`), `the level page shows the time ${time} s`);
  if (!option('--db')) check(/^\s*1\s/.test(rowText), 'the run is ranked first');

  const [download] = await Promise.all([
    page.waitForEvent('download'),
    row.locator('a', {hasText: 'herunterladen'}).click(),
  ]);
  const file = path.join(work, download.suggestedFilename());
  await download.saveAs(file);
  const got = fs.readFileSync(file);
  check(Buffer.compare(got, replay) === 0, `the download is the exact bytes (${got.length})`);
  const again = proveTime(file);
  check(again === time, `zirpel-verify proves the download again: ${again} s`);

  await row.locator('a', {hasText: 'ansehen'}).click();
  await page.waitForURL(/\/run\//);
  const runText = await page.locator('body').innerText();
  check(runText.includes(`zirpel-verify ${answer.id}.zrp`), 'the run page names the command');
  check(runText.includes(name) && runText.includes(time), 'the run page names player and time');

  const shot = option('--screenshot');
  if (shot) {
    await page.goto(`${base}/level/${encodeURIComponent(level)}?mode=race`);
    await page.screenshot({path: shot, fullPage: false});
    console.log(`screenshot: ${shot}`);
  }
} catch (e) {
  console.log(`FAILED: ${e.stack || e}`);
  failures += 1;
} finally {
  clearTimeout(deadline);
  if (browser) await browser.close();
  server.kill('SIGTERM');
  await new Promise(
      (resolve) => (server.exitCode !== null ? resolve() : server.on('exit', resolve)));
  fs.rmSync(work, {recursive: true, force: true});
}
console.log(`browser test: ${failures === 0 ? 'passed' : `${failures} failed`}`);
process.exit(failures === 0 ? 0 : 1);
