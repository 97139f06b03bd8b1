// How puppeteer-core launches Debian's browsers headless, for the page's
// tests and its figures alike: the program from $CHROMIUM or $FIREFOX, and
// Chromium without the background traffic a closed network refuses.
'use strict';
const kBrowsers = {
  chromium: {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  },
  // puppeteer-core 22 names the browser by product and protocol.
  firefox: {executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr', product: 'firefox',
            protocol: 'webDriverBiDi'},
};
module.exports = {kBrowsers};
