#!/usr/bin/env node
// A visitor's round trip through the published sample site in headless Chromium: new message,
// post, read, reply, a hostile subject, and the guest book. demo/e2e/run-e2e publishes the
// site, starts lighttpd and passes its address and folder in SITE_URL and SITE_DIR.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require(process.env.PLAYWRIGHT_CORE || 'playwright-core');

const siteUrl = process.env.SITE_URL;
const siteDir = process.env.SITE_DIR;
const artifacts = process.env.E2E_ARTIFACTS || path.join(os.tmpdir(), 'board-e2e');
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
if (!siteUrl || !siteDir) {
  console.error('roundtrip.js: SITE_URL and SITE_DIR must be set (run it through run-e2e)');
  process.exit(2);
}
const boardFiles = path.join(siteDir, 'htdocs', 'board', 'message');
const guestFile = path.join(siteDir, 'webdata', 'guest.txt');

let failures = 0;
let passes = 0;
function check(what, cond, detail) {
  if (cond) {
    passes++;
    console.log(`   ok    ${what}`);
  } else {
    failures++;
    console.log(`   FAIL  ${what}${detail !== undefined ? ': ' + JSON.stringify(detail) : ''}`);
  }
}
function step(title) {
  console.log(`[${title}]`);
}
function readLatin1(file) {
  return fs.existsSync(file) ? fs.readFileSync(file, 'latin1') : null;
}

// The rows of the board's list view, as the visitor sees them.
async function boardRows(list) {
  return list.$$eval('#pbbs-view tr.message', (trs) =>
    trs.map((tr) => ({
      number: tr.getAttribute('data-number'),
      thread: tr.getAttribute('data-thread'),
      depth: tr.getAttribute('data-depth'),
      subject: tr.querySelector('td.subject a').textContent,
      author: tr.querySelector('td.author').textContent,
    })));
}

async function waitForRows(list, count, mode) {
  try {
    await list.waitForFunction(
      ([n, m]) => {
        const v = document.getElementById('pbbs-view');
        return v && Number(v.getAttribute('data-count')) === n && (!m || v.getAttribute('data-mode') === m);
      }, [count, mode || null]);
  } catch (e) {
    let seen = '(unreadable)';
    try {
      seen = await list.evaluate(() => document.documentElement.outerHTML);
    } catch (e2) {}
    throw new Error(`the list frame (${list.url()}) did not show ${count} messages: ${seen}`);
  }
  return boardRows(list);
}

// The live frame of that name; a reload replaces the frames of the page.
async function frameNamed(page, name) {
  for (let i = 0; i < 100; i++) {
    const f = page.frames().find((fr) => fr.name() === name && !fr.isDetached());
    if (f) return f;
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`no frame named ${name}`);
}

// Fills and submits the form of board-form in the message frame, then waits for the success page.
async function submitMessage(msg, { name, email, subject, body }) {
  await msg.fill('input[name="name"]', name);
  await msg.fill('input[name="email"]', email);
  if (subject !== undefined) await msg.fill('input[name="subject"]', subject);
  await msg.fill('textarea[name="body"]', body);
  await msg.click('input[type="submit"]');
  await msg.waitForURL(/\/board\/html\/(success|error)\.html$/);
  return msg.url();
}

async function main() {
  fs.mkdirSync(artifacts, { recursive: true });
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'board-e2e-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--disable-dev-shm-usage', '--lang=en-US',
    ],
    viewport: { width: 1000, height: 760 },
  });
  context.setDefaultTimeout(15000);
  const pageErrors = [];
  try {
    const page = context.pages()[0] || (await context.newPage());
    page.on('pageerror', (e) => pageErrors.push(e.message));

    step('1. open the board and choose New Message');
    await page.goto(`${siteUrl}/board/`);
    const toolbar = page.frame({ name: 'toolbar' });
    const list = page.frame({ name: 'list' });
    const msg = page.frame({ name: 'message' });
    check('the board has its toolbar, list and message frames', toolbar && list && msg);
    await waitForRows(list, 0);
    check('the empty board says so', (await list.textContent('#pbbs-view')).includes('No messages yet'));
    await toolbar.click('#new-message');
    await msg.waitForURL(/\/cgi-bin\/board-form\.cgi$/);
    const heading = (await msg.textContent('font')).replace(/\s+/g, ' ').trim();
    check('the form shows "New Message:" and thread 2', heading === 'New Message: 2', heading);
    check('the hidden thread field holds 2', (await msg.inputValue('input[name="thread"]')) === '2');
    check('the hidden parent field holds 1', (await msg.inputValue('input[name="parent"]')) === '1');
    check('the page script filled in the time fields',
        /^\d+$/.test(await msg.inputValue('input[name="time"]')) &&
        /GMT$/.test(await msg.inputValue('input[name="RealTime"]')));
    // The index page that set-up made holds no message and no closing lines yet.
    await list.goto(`${siteUrl}/board/message/bbs-data.html`);
    await waitForRows(list, 0);
    check('the freshly set-up board still shows as empty', fs.existsSync(path.join(boardFiles, 'bbs-data.html')));
    const errorsBeforePosts = pageErrors.length;

    step('2. post a message with a body of two lines');
    let landed = await submitMessage(msg, {
      name: 'Ann Example', email: 'ann@example.org', subject: 'Hello board',
      body: 'first line\nsecond line',
    });
    check('the browser lands on the success page', landed.endsWith('/board/html/success.html'), landed);
    check('the success page says the message was posted', await msg.isVisible('#posted'));
    let rows = await waitForRows(list, 1);
    check('the board lists the message with its subject and author',
        rows[0].subject === 'Hello board' && rows[0].author === 'Ann Example', rows);

    step('3. open the message, reply to it');
    await list.click('#pbbs-view tr.message[data-number="0"] td.subject a');
    await msg.waitForURL(/\/board\/message\/0\.html$/);
    const pageText = await msg.innerText('body');
    check('the message page shows the name', pageText.includes('Name:   Ann Example'), pageText);
    check('the message page shows the address as a mailto link',
        (await msg.getAttribute('a[href^="mailto:"]', 'href')) === 'mailto:ann@example.org');
    check('the message page shows the subject', pageText.includes('Subject:Hello board'));
    check('the message page shows the thread', pageText.includes('Thread: 2'));
    check('the message page shows both lines of the body', /first line\s*\nsecond line/.test(pageText), pageText);
    check('the message page shows its three buttons', await msg.$$eval('img', (imgs) =>
      imgs.length === 3 && imgs.every((i) => i.complete && i.naturalWidth === 64 && i.naturalHeight === 20)));
    await page.screenshot({ path: path.join(artifacts, 'message-page.png') });
    await msg.click('a:has(img[src="../image/reply.gif"])');
    await msg.waitForURL(/\/cgi-bin\/board-form\.cgi\?2$/);
    const replyHeading = (await msg.textContent('font')).replace(/\s+/g, ' ').trim();
    check('the form shows "Reply to Message:" and the thread', replyHeading === 'Reply to Message: 2', replyHeading);
    check('the reply form carries parent 0', (await msg.inputValue('input[name="parent"]')) === '0');
    check('the reply form proposes the subject of the thread',
        (await msg.inputValue('input[name="subject"]')) === 'Re: Hello board');
    landed = await submitMessage(msg, { name: 'Bob', email: 'bob@example.org', body: 'a reply' });
    check('the reply lands on the success page', landed.endsWith('/board/html/success.html'), landed);
    rows = await waitForRows(list, 2);
    check('the board lists both, the reply under its thread',
        rows[0].number === '0' && rows[0].depth === '0' && rows[1].number === '1' &&
        rows[1].thread === '2' && rows[1].depth === '1' && rows[1].subject === 'Re: Hello board', rows);
    const shot = path.join(artifacts, 'board-after-reply.png');
    await page.screenshot({ path: shot });
    console.log(`   screenshot: ${shot}`);
    await list.click('#pbbs-view tr.message[data-number="0"] td.subject a');
    await msg.waitForURL(/\/board\/message\/0\.html$/);
    await msg.click('a:has(img[src="../image/next.gif"])');
    await msg.waitForURL(/\/board\/message\/1\.html$/);
    check('the Next button of a message leads to the reply', (await msg.innerText('body')).includes('Name:   Bob'));

    step('4. a subject with quotes, a backslash, </script> and non-ASCII letters');
    const hostile = 'Say "hi" \\ </script><b>x</b> Grüße à Zoë';
    const hostileAuthor = 'O\'Brien "Bob" </script>';
    await toolbar.click('#new-message');
    await msg.waitForURL(/\/cgi-bin\/board-form\.cgi$/);
    const thread3 = await msg.inputValue('input[name="thread"]');
    check('the next new message opens thread 3', thread3 === '3', thread3);
    landed = await submitMessage(msg, {
      name: hostileAuthor, email: 'z@example.org', subject: hostile, body: 'ä <i>b</i> & "c"',
    });
    check('the post lands on the success page', landed.endsWith('/board/html/success.html'), landed);
    rows = await waitForRows(list, 3);
    const row = rows.find((r) => r.number === '2');
    check('the board shows the subject exactly as typed', row && row.subject === hostile, row);
    check('the board shows the author exactly as typed', row && row.author === hostileAuthor, row);
    await list.click('#pbbs-view tr.message[data-number="2"] td.subject a');
    await msg.waitForURL(/\/board\/message\/2\.html$/);
    const hostileText = await msg.innerText('body');
    check('the message page shows the subject exactly as typed', hostileText.includes('Subject:' + hostile), hostileText);
    check('the message page shows the author exactly as typed', hostileText.includes('Name:   ' + hostileAuthor));
    check('the message page shows the body exactly as typed', hostileText.includes('ä <i>b</i> & "c"'));
    check('nothing typed became markup on the message page', (await msg.$$('b:text-is("x"), i:text-is("b")')).length === 0);
    await msg.click('a:has(img[src="../image/reply.gif"])');
    await msg.waitForURL(/\/cgi-bin\/board-form\.cgi\?3$/);
    check('the reply form proposes that subject exactly',
        (await msg.inputValue('input[name="subject"]')) === 'Re: ' + hostile);
    landed = await submitMessage(msg, { name: 'Carol', email: 'c@example.org', body: 'still works' });
    check('the board still takes a reply afterwards', landed.endsWith('/board/html/success.html'), landed);
    rows = await waitForRows(list, 4);
    check('the board lists all four, each reply under its thread',
        rows.map((r) => `${r.number}/${r.depth}`).join(' ') === '2/0 3/1 0/0 1/1', rows);
    await page.screenshot({ path: path.join(artifacts, 'board-after-hostile-subject.png') });
    await toolbar.click('#view-date');
    rows = await waitForRows(list, 4, 'Date');
    check('the date view lists the newest first', rows.map((r) => r.number).join(' ') === '3 2 1 0', rows);
    await page.reload();
    rows = await waitForRows(await frameNamed(page, 'list'), 4, 'Date');
    check('the view mode is kept in a cookie', rows.map((r) => r.number).join(' ') === '3 2 1 0', rows);
    const index = readLatin1(path.join(boardFiles, 'bbs-data.html'));
    check('the index page holds four lines', (index.match(/^parent\.addpbbsArray\(/gm) || []).length === 4);
    check('no script error on the board after the first post',
        pageErrors.length === errorsBeforePosts, pageErrors.slice(errorsBeforePosts));

    step('5. the guest book');
    await page.goto(`${siteUrl}/guestbook/`);
    await page.fill('input[name="1"]', 'Ann Example');
    await page.fill('input[name="2"]', 'Springfield');
    await page.fill('textarea[name="3"]', 'Nice site,\nthank you');
    await page.click('input[type="submit"]');
    await page.waitForURL(/\/guestbook\/(thanks|error)\.html$/);
    check('the browser lands on the thanks page', page.url().endsWith('/guestbook/thanks.html'), page.url());
    const stored = readLatin1(guestFile);
    check('the data file holds the line', stored === 'Ann Example\tSpringfield\tNice site, thank you\r\n', stored);
    await page.goto(`${siteUrl}/guestbook/`);
    await page.fill('input[name="2"]', 'Nowhere');
    await page.click('input[type="submit"]');
    await page.waitForURL(/\/guestbook\/(thanks|error)\.html$/);
    check('without a name the browser lands on the error page', page.url().endsWith('/guestbook/error.html'), page.url());
    check('and nothing more is stored', readLatin1(guestFile) === stored, readLatin1(guestFile));
  } finally {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

main().then(
  () => {
    console.log(`${passes} passed, ${failures} failed`);
    process.exit(failures === 0 ? 0 : 1);
  },
  (err) => {
    console.error(err && err.stack ? err.stack : err);
    console.log(`${passes} passed, ${failures + 1} failed`);
    process.exit(1);
  });
