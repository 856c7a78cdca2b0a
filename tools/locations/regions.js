'use strict';
// Two-letter region codes of the countries whose codes name a region instead
// of "XX", keyed by the first-level region code of the place data.
const mexico = {
  '01': 'AG', '02': 'BC', '03': 'BS', '04': 'CM', '05': 'CS', '06': 'CH',
  '07': 'CO', '08': 'CL', '09': 'DF', '10': 'DU', '11': 'GJ', '12': 'GR',
  '13': 'HI', '14': 'JA', '15': 'MX', '16': 'MI', '17': 'MO', '18': 'NA',
  '19': 'NL', '20': 'OA', '21': 'PU', '22': 'QE', '23': 'QR', '24': 'SL',
  '25': 'SI', '26': 'SO', '27': 'TB', '28': 'TM', '29': 'TL', '30': 'VE',
  '31': 'YU', '32': 'ZA',
};

const argentina = {
  '01': 'BA', '02': 'CA', '03': 'CH', '04': 'CT', '05': 'CB', '06': 'CR',
  '07': 'DF', '08': 'ER', '09': 'FO', '10': 'JY', '11': 'LP', '12': 'LR',
  '13': 'MZ', '14': 'MN', '15': 'NQ', '16': 'RN', '17': 'SA', '18': 'SJ',
  '19': 'SL', '20': 'SC', '21': 'SF', '22': 'SE', '23': 'TF', '24': 'TU',
};

// Puerto Rico's regions are its 78 municipalities: first letter of the name,
// then the first letter of the second word or, failing that (or when taken),
// the next letter of the name that makes the code unique. Municipalities are
// taken in the order of their region codes so the result never varies.
function puertoRico(admin1) {
  const entries = admin1
    .filter((a) => a.code.startsWith('PR.'))
    .map((a) => [a.code.slice(3), a.name])
    .sort((x, y) => (x[0] < y[0] ? -1 : x[0] > y[0] ? 1 : 0));
  const taken = new Set();
  const out = {};
  for (const [code, name] of entries) {
    const letters = name.normalize('NFD').replace(/[^A-Za-z ]/g, '').toUpperCase();
    const words = letters.split(/\s+/).filter(Boolean);
    const first = words[0][0];
    const tries = [];
    if (words.length > 1) tries.push(first + words[1][0]);
    for (const c of letters.slice(1).replace(/ /g, '')) tries.push(first + c);
    for (let c = 65; c <= 90; ++c) tries.push(first + String.fromCharCode(c));
    const pick = tries.find((t) => !taken.has(t));
    if (!pick) throw new Error(`no region code left for Puerto Rico's ${name}`);
    taken.add(pick);
    out[code] = pick;
  }
  return out;
}

module.exports = { mexico, argentina, puertoRico };
