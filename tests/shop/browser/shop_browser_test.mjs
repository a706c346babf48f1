// The shop in Debian's Chromium, driven as a shopper would: on a fresh demo site, from the home
// page through a main category, a group and a category to page 2 of a listing, and on through
// the steps of the features that the engine offers. Screenshots go to the artifacts folder.
//   node shop_browser_test.mjs --shop PATH --ctl PATH --artifacts DIR
import { spawn, execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { chromium } from "playwright-core";

const args = Object.fromEntries(
  process.argv.slice(2).reduce((pairs, a, i, all) => (a.startsWith("--") ? [...pairs, [a.slice(2), all[i + 1]]] : pairs), []),
);
for (const key of ["shop", "ctl", "artifacts"]) {
  if (!args[key]) throw new Error(`--${key} is needed`);
}
fs.mkdirSync(args.artifacts, { recursive: true });

const work = fs.mkdtempSync(path.join(os.tmpdir(), "kestrin-browser-"));
const site = path.join(work, "site");
execFileSync(args.ctl, ["site", "create", site, "--site", "kestrin", "--password", "tolvaro27", "--demo"]);

// The shop on a free port; its first line of output names the address.
const shop = spawn(args.shop, ["--app-path", site, "--site", "kestrin", "--password", "tolvaro27",
  "--port", "0", "--access-log", path.join(work, "access.log")], { stdio: ["ignore", "pipe", "pipe"] });
let shopErrors = "";
shop.stderr.on("data", (d) => { shopErrors += d; });
const base = await new Promise((resolve, reject) => {
  let out = "";
  const timer = setTimeout(() => reject(new Error("kestrin-shop did not start: " + shopErrors)), 30000);
  shop.stdout.on("data", (d) => {
    out += d;
    const m = out.match(/http:\/\/127\.0\.0\.1:(\d+)\//);
    if (m) { clearTimeout(timer); resolve(`http://127.0.0.1:${m[1]}/`); }
  });
  shop.on("exit", (code) => reject(new Error(`kestrin-shop ended (${code}): ${shopErrors}`)));
});

const context = await chromium.launchPersistentContext(path.join(work, "profile"), {
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});
const page = context.pages()[0] ?? (await context.newPage());
page.setDefaultTimeout(30000);
const pageErrors = [];
page.on("pageerror", (e) => pageErrors.push(String(e)));

let passed = 0;
let failed = 0;
async function step(name, body) {
  try {
    await body();
    passed += 1;
    console.log(`ok   ${name}`);
  } catch (e) {
    failed += 1;
    console.log(`FAIL ${name}\n     ${String(e.message || e).split("\n").join("\n     ")}`);
    await page.screenshot({ path: path.join(args.artifacts, `failed-${passed + failed}.png`), fullPage: true }).catch(() => {});
  }
}
function expect(condition, message) {
  if (!condition) throw new Error(message);
}
async function shot(name) {
  await page.screenshot({ path: path.join(args.artifacts, name), fullPage: true });
}
async function expectImagesLoaded() {
  const broken = await page.$$eval("img", (imgs) => imgs.filter((i) => i.complete && i.naturalWidth === 0).map((i) => i.getAttribute("src")));
  expect(broken.length === 0, `images that did not load: ${broken.slice(0, 5).join(", ")}`);
}

try {
  await step("home page", async () => {
    const r = await page.goto(base);
    expect(r.status() === 200, `status ${r.status()}`);
    expect((await page.title()).length > 0, "the page has no title");
    await page.waitForSelector("a[href='c_1.asp?group=Storage']");
    await expectImagesLoaded();
    await shot("home.png");
  });

  await step("main category, group, category", async () => {
    await page.click(".leftcol a[href='c_1.asp?group=Storage']");
    await page.waitForURL(/c_1\.asp\?group=Storage/);
    await page.click(".content a[href*='c_2.asp']");
    await page.waitForURL(/c_2\.asp/);
    await page.click(".content a[href*='c_3.asp'], .content a[href*='c_4b.asp']");
    if (page.url().includes("c_3.asp")) {
      await page.click(".content a[href*='c_4b.asp']");
    }
    await page.waitForURL(/c_4b\.asp/);
    await expectImagesLoaded();
  });

  await step("listing page 2", async () => {
    // The results table's link to the next page (the featured table has one of its own).
    const nextPage = ".content a[href*='&page=2&']:has(img)";
    if ((await page.locator(nextPage).count()) === 0) {
      // The category reached has one page only: go to a category of the demo catalog with many.
      await page.goto(base + "c_4b.asp?group=B1&category=010");
    }
    await page.locator(nextPage).first().click();
    await page.waitForURL(/[?&]page=2(&|$)/);
    expect(await page.locator(".content a[href*='c_final.asp']").count() > 0, "no products on page 2");
    await expectImagesLoaded();
    await shot("listing.png");
  });

  await step("manufacturer page", async () => {
    await page.locator(".leftcol a[href^='c_4manu.asp?manufacturer=']").first().click();
    await page.waitForURL(/c_4manu\.asp/);
    expect(await page.locator(".content a[href*='c_final.asp']").count() > 0, "no products of the manufacturer");
  });

  // Pages of features that the engine may not offer yet are visited when the shop serves them.
  const served = async (name) => (await page.request.get(base + name)).status() !== 404;

  if (await served("c_final.asp")) {
    await step("product page", async () => {
      await page.goto(base + "c_4b.asp?group=B1&category=010&page=2");
      await page.locator(".content a[href*='c_final.asp']").first().click();
      await page.waitForURL(/c_final\.asp/);
      expect((await page.textContent(".content")).includes("Item:"), "no product on the page");
      await expectImagesLoaded();
      await shot("product.png");
    });
  }

  if (await served("cart.asp")) {
    const content = async () => (await page.textContent(".content")) ?? "";

    await step("add the product to the cart", async () => {
      await page.goto(base + "c_final.asp?featured=True&partno=KS-100007");
      // The product page's order form posts the cart's first step: the item and its stock. Its
      // button also sets the window's location, so two navigations race: wait for the page.
      await page.click("form[name='form1'] input[type='submit']");
      await page.waitForSelector(".content :text('Thank you for your interest in this item.')", { timeout: 60000 });
      expect((await content()).includes("Thank you for your interest in this item."), "no stock step");
      // Buy Now asks before it changes the cart.
      await Promise.all([page.waitForURL(/steps=2/), page.click(".content input[value=' Buy Now ']")]);
      await Promise.all([page.waitForNavigation(), page.click(".content input[value='Add to cart']")]);
      expect((await content()).includes("Item(s) List"), "the item did not reach the cart");
      expect((await content()).includes("US$ 1,107.61"), "no cart total");
      await expectImagesLoaded();
      await shot("cart.png");
    });

    await step("change the quantity", async () => {
      await Promise.all([page.waitForURL(/steps=1a/), page.click(".content a.slink2:text('Change')")]);
      await page.fill(".content input[name='qty']", "2");
      await Promise.all([page.waitForNavigation(), page.click(".content input[value='Change']")]);
      expect((await content()).includes("Quantity Changed"), "no change message");
      expect((await content()).includes("US$ 2,215.22"), "the total did not follow the quantity");
    });

    if (await served("cart_ship2.asp")) {
      await step("register", async () => {
        // Checking out asks for a log-on first; a new shopper registers from there.
        await Promise.all([page.waitForURL(/logon\.asp/), page.click(".content input[value=' Continue ']")]);
        await Promise.all([page.waitForURL(/register\.asp/), page.click(".content a:text('Register')")]);
        const fields = { username: "shopper1", password: "secret99", password2: "secret99", fname: "Ann",
          lname: "O'Neil", address: "1 Main St", city: "Springfield", state: "IL", zip: "62701",
          country: "USA", email: "ann@example.com" };
        for (const [name, value] of Object.entries(fields)) await page.fill(`.content input[name='${name}']`, value);
        await Promise.all([page.waitForURL(/cart_ship2\.asp/), page.click(".content input[value='Register']")]);
        expect((await page.textContent(".nav")).includes("shopper1"), "not logged on after registering");
      });

      await step("log off and log on", async () => {
        await Promise.all([page.waitForURL(/logoff\.asp/), page.click(".nav a:text('Log off')")]);
        await Promise.all([page.waitForNavigation(), page.click(".content input[value='Log off']")]);
        expect((await page.textContent(".nav")).includes("Log on"), "still logged on");
        await page.goto(base + "cart.asp?action=display");
        await Promise.all([page.waitForURL(/logon\.asp/), page.click(".content input[value=' Continue ']")]);
        await page.fill(".content input[name='username']", "shopper1");
        await page.fill(".content input[name='password']", "secret99");
        await Promise.all([page.waitForURL(/cart_ship2\.asp/), page.click(".content input[value='Log on']")]);
        expect((await page.textContent(".nav")).includes("shopper1"), "not logged on");
      });

      let orderId = "";
      await step("check out", async () => {
        expect(await page.inputValue(".content input[name='shipname']") === "Ann O'Neil", "the address is not filled in");
        await page.selectOption(".content select[name='shipmethod']", "UPS Ground");
        await page.selectOption(".content select[name='paymethod']", "Visa");
        await page.fill(".content input[name='ccnumber']", "4111 1111 1111 1111");
        await page.fill(".content input[name='ccexpire']", "12/39");
        await Promise.all([page.waitForNavigation(), page.click(".content input[value='Review the order']")]);
        expect((await content()).includes("Visa ending in 1111"), "no review page");
        await Promise.all([page.waitForNavigation(), page.click(".content input[value='Place order']")]);
        const m = (await content()).match(/Your order number is (S\d{5})/);
        expect(m, "no order number");
        orderId = m[1];
        await shot("order.png");
      });

      await step("the order in the order history", async () => {
        await Promise.all([page.waitForURL(/orders\.asp/), page.click(".content a:text('See your orders')")]);
        expect(await page.locator(`.content a[href='invoice.asp?id=${orderId}']`).count() > 0,
          `order ${orderId} is not in the history`);
        await page.goto(base + "cart.asp?action=display");
        expect((await content()).includes("Your shopping cart is empty."), "the cart was not emptied");
      });
    }
  }

  if (await served("search.asp")) {
    await step("search by keyword", async () => {
      await page.goto(base);
      await page.fill(".searchbox input[name='keyword']", "flash drive");
      await page.selectOption(".searchbox select[name='sType']", "keyword");
      await page.click(".searchbox input[type='submit']");
      await page.waitForURL(/search\.asp/);
      await page.locator(".content a[href*='action=viewitems']").first().click();
      await page.waitForURL(/action=viewitems/);
      expect(await page.locator(".content a[href*='c_final.asp']").count() > 0, "no matching products");
    });

    await step("search by part number", async () => {
      const part = execFileSync("sqlite3", [path.join(site, "techdata.db"),
        "select manu_part from products where manu_part <> '' order by part_num limit 1"]).toString().trim();
      await page.goto(base);
      await page.fill(".searchbox input[name='keyword']", part);
      await page.selectOption(".searchbox select[name='sType']", "manuf");
      await page.click(".searchbox input[type='submit']");
      await page.waitForURL(/search\.asp/);
      const viewItems = page.locator(".content a[href*='action=viewitems']");
      if ((await viewItems.count()) > 0) {
        await viewItems.first().click();
        await page.waitForURL(/action=viewitems/);
      }
      expect((await page.textContent(".content")).includes(part), `part number ${part} not found`);
    });
  }

  await step("no script errors on the pages", async () => {
    expect(pageErrors.length === 0, pageErrors.join("; "));
  });
} finally {
  await context.close().catch(() => {});
  shop.kill("SIGTERM");
  await new Promise((resolve) => (shop.exitCode !== null ? resolve() : shop.on("exit", resolve)));
  fs.rmSync(work, { recursive: true, force: true });
}

console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
