// Reads a Parquet export back with DuckDB and compares it with the CSV
// export of the same data (raw values):
//   node parquet_duckdb_check.mjs PARQUET CSV [DICT_JSON [LABELS_CSV]]
// Every cell: a null where the CSV field is empty (numbers), the same double
// for DOUBLE, the same day, microsecond or time of day for DATE, TIMESTAMP
// and TIME, the same text for VARCHAR; the column statistics (min, max,
// null count) agree with the values; the dictionary under
// "brindle.dictionary" is DICT_JSON's text. With LABELS_CSV (the CSV
// export with --labels) the file is one written with --labels: its text
// columns are that CSV's fields (a null where the field is empty). Exits 1 with the first
// difference. The environment asks for more:
//   NULL_MISSING=1       the file was written with --user-missing null: the
//                        user-missing values (by DICT_JSON) are null
//   NULL_MISSING=some    the same, and there is at least one
//   EXPECT_CODEC=SNAPPY  every column chunk is compressed so
//   EXPECT_DICTIONARY=1  at least one column chunk is dictionary-encoded
import { readFileSync } from 'node:fs';
import { DuckDBInstance } from '@duckdb/node-api';

const [parquet, csvFile, dictFile, labelsFile] = process.argv.slice(2);
const EPOCH = 12219379200;  // 1582-10-14 to 1970-01-01, in seconds

function parseCsv(text) {
  const rows = [];
  let row = [], field = '', quoted = false, i = 0, any = false;
  while (i < text.length) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') field += '"', i += 2;
      else if (c === '"') quoted = false, i++;
      else field += c, i++;
    } else if (c === '"') quoted = true, any = true, i++;
    else if (c === ',') row.push(field), field = '', i++;
    else if (c === '\n') row.push(field), rows.push(row), row = [], field = '', i++;
    else field += c, any = true, i++;
  }
  if (field !== '' || row.length) row.push(field), rows.push(row);
  return rows;
}

function fail(message) {
  console.log(`${parquet}: ${message}`);
  process.exit(1);
}

const q = (name) => '"' + name.replaceAll('"', '""') + '"';
const lit = (s) => "'" + s.replaceAll("'", "''") + "'";

const instance = await DuckDBInstance.create(':memory:');
const db = await instance.connect();
const all = async (sql) => (await db.runAndReadAll(sql)).getRowObjectsJson();

const csv = parseCsv(readFileSync(csvFile, 'utf8'));
const header = csv[0];
const labels = labelsFile ? parseCsv(readFileSync(labelsFile, 'utf8')) : null;
const described = await all(`DESCRIBE SELECT * FROM read_parquet(${lit(parquet)})`);
const names = described.map((d) => d.column_name);
if (JSON.stringify(names) !== JSON.stringify(header))
  fail(`columns ${JSON.stringify(names)} != ${JSON.stringify(header)}`);
const types = described.map((d) => d.column_type);

// Each column as text DuckDB makes of an integer or double, so nothing is
// lost on the way to JavaScript.
const exprs = names.map((n, c) => {
  const col = q(n);
  switch (types[c]) {
    case 'DATE': return `date_diff('day', DATE '1970-01-01', ${col})::VARCHAR`;
    case 'TIMESTAMP': return `epoch_us(${col})::VARCHAR`;
    case 'TIME': return `date_diff('microsecond', TIME '00:00:00', ${col})::VARCHAR`;
    default: return col;
  }
});
const rows = (await db.runAndReadAll(
  `SELECT ${exprs.join(', ')} FROM read_parquet(${lit(parquet)}, file_row_number = true)
   ORDER BY file_row_number`)).getRows();
if (rows.length !== csv.length - 1) fail(`${rows.length} rows, the CSV has ${csv.length - 1}`);

// The user-missing values of each column, when they are to be null.
const dictionary = dictFile ? JSON.parse(readFileSync(dictFile, 'utf8')) : null;
const missingOf = names.map((n) => {
  if (!process.env.NULL_MISSING) return null;
  const v = dictionary.variables.find((d) => d.name === n);
  return v && (v.missing_values.values.length || v.missing_values.range) ? v : null;
});
const isMissing = (v, field) => {
  const m = v.missing_values;
  if (v.type === 'string') return m.values.includes(field);
  if (field === '') return false;
  const x = Number(field);
  return m.values.includes(x) || (m.range !== null && x >= m.range[0] && x <= m.range[1]);
};
let nulledMissing = 0;

const expected = (type, field, c) => {
  if (missingOf[c] && isMissing(missingOf[c], field)) return nulledMissing++, null;
  if (type === 'VARCHAR') return field;
  if (field === '') return null;
  const x = Number(field);
  if (type === 'DOUBLE') return x;
  // Dates and times outside their type's range are written as null.
  if (type === 'DATE') {
    const days = Math.floor((x - EPOCH) / 86400);
    return Math.abs(days) < 2 ** 31 ? String(days) : null;
  }
  if (type === 'TIMESTAMP') {
    const us = Math.round((x - EPOCH) * 1e6);
    return Math.abs(us) < 9.2e18 ? String(BigInt(us)) : null;
  }
  if (type === 'TIME') return x >= 0 && x < 86400 ? String(Math.round(x * 1e6)) : null;
  fail(`unexpected type ${type}`);
};
for (let r = 0; r < rows.length; r++) {
  for (let c = 0; c < names.length; c++) {
    let want = expected(types[c], csv[r + 1][c], c);
    let got = rows[r][c];
    if (labels && types[c] === 'VARCHAR' && want !== null) {
      want = labels[r + 1][c];
      if (got === null && want === '') want = null;
    }
    if (typeof got === 'object' && got !== null) got = String(got);
    if (types[c] === 'DOUBLE' && got !== null) got = Number(got);
    if (!Object.is(got, want))
      fail(`row ${r + 1}, ${names[c]}: ${JSON.stringify(got)} != ${JSON.stringify(want)}`);
  }
}

// Statistics: what the file says against what DuckDB computes from the values.
const meta = await all(`SELECT path_in_schema p, row_group_id g, stats_min_value mn,
  stats_max_value mx, stats_null_count nc FROM parquet_metadata(${lit(parquet)})`);
for (const m of meta) {
  const col = q(m.p);
  const [calc] = await all(`WITH t AS (SELECT ${col} v, file_row_number i
      FROM read_parquet(${lit(parquet)}, file_row_number = true)),
    g AS (SELECT row_group_id, sum(row_group_num_rows) OVER (ORDER BY row_group_id) - row_group_num_rows s,
      row_group_num_rows n FROM (SELECT DISTINCT row_group_id, row_group_num_rows FROM parquet_metadata(${lit(parquet)})))
    SELECT min(v)::VARCHAR mn, max(v)::VARCHAR mx, count(*) - count(v) nc FROM t, g
    WHERE g.row_group_id = ${m.g} AND t.i >= g.s AND t.i < g.s + g.n`);
  if (String(calc.nc) !== String(m.nc)) fail(`${m.p} group ${m.g}: null count ${m.nc} != ${calc.nc}`);
  if (calc.mn === null) continue;
  const [cast] = await all(`SELECT (${lit(m.mn)}::${types[names.indexOf(m.p)]})::VARCHAR mn,
    (${lit(m.mx)}::${types[names.indexOf(m.p)]})::VARCHAR mx`);
  if (cast.mn !== calc.mn || cast.mx !== calc.mx)
    fail(`${m.p} group ${m.g}: statistics ${m.mn}..${m.mx} != ${calc.mn}..${calc.mx}`);
}

const chunks = await all(`SELECT compression, encodings FROM parquet_metadata(${lit(parquet)})`);
if (process.env.EXPECT_CODEC && chunks.some((m) => m.compression !== process.env.EXPECT_CODEC))
  fail(`a column chunk is not compressed with ${process.env.EXPECT_CODEC}`);
if (process.env.EXPECT_DICTIONARY && !chunks.some((m) => m.encodings.includes('RLE_DICTIONARY')))
  fail('no column chunk is dictionary-encoded');
if (process.env.NULL_MISSING === 'some' && !nulledMissing) fail('no user-missing value to make null');

if (dictFile) {
  const kv = await all(`SELECT decode(key) k, decode(value) v FROM parquet_kv_metadata(${lit(parquet)})`);
  const dict = kv.find((e) => e.k === 'brindle.dictionary');
  if (!dict) fail('no brindle.dictionary in the metadata');
  if (dict.v !== readFileSync(dictFile, 'utf8')) fail('the dictionary differs from export dict --json');
  JSON.parse(dict.v);
}
console.log(`${parquet}: ${rows.length} rows equal`);
