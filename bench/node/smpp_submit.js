// The npm `smpp` client through the fire-and-forget submit scenario: bind as
// transceiver to the sink, submit COUNT messages without waiting between
// them, and time until the last submit_sm_resp. Prints one line:
//   messages=<n> seconds=<s> complete=<0|1>
// Usage: node smpp_submit.js PORT COUNT (with `smpp` reachable via NODE_PATH).
'use strict';
const smpp = require('smpp');

const port = Number(process.argv[2]);
const count = Number(process.argv[3]);
// The same fields the C++ runs send, so the PDUs match octet for octet.
const message = {
  source_addr_ton: 5,
  source_addr: 'KORVANE',
  dest_addr_ton: 1,
  dest_addr_npi: 1,
  destination_addr: '447700900123',
  short_message: Buffer.from('Benchmark message from KorvaneSMPP, 60 characters of text..'),
};

const session = smpp.connect({ url: `smpp://127.0.0.1:${port}` });
const cap = setTimeout(() => finish(false), 60000);
let start = 0n;
let answered = 0;

function finish(complete) {
  clearTimeout(cap);
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  console.log(`messages=${answered} seconds=${seconds} complete=${complete ? 1 : 0}`);
  session.close();
  process.exit(0);
}

session.on('error', (error) => {
  console.error(`smpp session error: ${error.message}`);
  process.exit(1);
});

session.bind_transceiver({ system_id: 'bench', password: '' }, (pdu) => {
  if (pdu.command_status !== 0) {
    console.error(`bind refused: ${pdu.command_status}`);
    process.exit(1);
  }
  start = process.hrtime.bigint();
  for (let i = 0; i < count; ++i) {
    session.submit_sm(message, () => {
      if (++answered === count) finish(true);
    });
  }
});
