// An SMSC built on the npm `smpp` package (0.5.1), an SMPP implementation
// independent of ours, for the interoperability tests.
//
// The scenario comes as JSON in the environment variable KORVANE_PEER:
//   {"answer": {"<command>": {fields}}, "send": [["<command>", {fields}], ...]}
// "answer" adds fields to the peer's answer to that command (a
// command_status sends the header alone); "send" lists requests the peer
// sends right after it accepted a bind. A field value {"hex": "..."} is sent
// as a Buffer. KORVANE_PEER_PORT, when set, is the port to listen on (the
// wire check captures it); otherwise the system chooses.
//
// Reports on stdout, one `key=value` a line: first `pid=` and `port=`, then
// for every PDU a head line `== <command>` (received) or `== sent <command>`
// followed by its decoded fields, flattened with dotted paths
// ("callback_num.0.number", "short_message.message"); Buffers are lower-case
// hex, numbers decimal, "raw.<field>" a time field as sent. A response to
// one of the peer's own requests also gets `matches_sent=yes` when its
// sequence_number is that of the request. `== closed` ends a connection,
// and the peer with it.
'use strict';
const smpp = require('smpp');

const scenario = JSON.parse(process.env.KORVANE_PEER || '{}');

function print(lines) {
  process.stdout.write(lines.map((line) => line.replace(/\n/g, ' ')).join('\n') + '\n');
}

function flatten(value, path, into) {
  if (value === null || value === undefined) {
    into.push(path + '=');
  } else if (Buffer.isBuffer(value)) {
    into.push(path + '=' + value.toString('hex'));
  } else if (value instanceof Date) {
    into.push(path + '=' + (isNaN(value) ? 'Invalid Date' : value.toISOString()));
  } else if (typeof value === 'object') {
    for (const key of Object.keys(value)) flatten(value[key], path ? path + '.' + key : key, into);
  } else {
    into.push(path + '=' + String(value));
  }
  return into;
}

// The package turns SMPP time strings into Dates; the strings as sent are
// reported beside them as "raw.<field>".
const fromBuffer = smpp.PDU.prototype.fromBuffer;
smpp.PDU.prototype.fromBuffer = function (buffer) {
  Object.defineProperty(this, 'octets', { value: Buffer.from(buffer), enumerable: false });
  return fromBuffer.call(this, buffer);
};

function rawTimes(octets) {
  const filter = smpp.PDU.prototype._filter;
  smpp.PDU.prototype._filter = function () {};
  try {
    const raw = new smpp.PDU(octets);
    return ['schedule_delivery_time', 'validity_period', 'final_date']
      .filter((key) => key in raw).map((key) => 'raw.' + key + '=' + String(raw[key]));
  } finally {
    smpp.PDU.prototype._filter = filter;
  }
}

function withBuffers(fields) {
  const result = {};
  for (const [key, value] of Object.entries(fields || {})) {
    result[key] = value && typeof value === 'object' && typeof value.hex === 'string'
      ? Buffer.from(value.hex, 'hex') : value;
  }
  return result;
}

const usual = {
  bind_transmitter: { system_id: 'NPMSMSC' },
  bind_receiver: { system_id: 'NPMSMSC' },
  bind_transceiver: { system_id: 'NPMSMSC' },
  deliver_sm: { message_id: '' },
};
let messageCount = 0;

function answer(session, pdu) {
  const options = Object.assign({}, usual[pdu.command]);
  if (pdu.command === 'submit_sm') options.message_id = 'NPM-' + (++messageCount);
  if (pdu.command === 'submit_multi') {
    Object.assign(options, { message_id: 'MULTI-' + (++messageCount), unsuccess_sme: [] });
  }
  if (pdu.command === 'query_sm') {
    Object.assign(options, { message_id: pdu.message_id, final_date: '261206120000000+',
      message_state: 2, error_code: 7 });
  }
  Object.assign(options, withBuffers((scenario.answer || {})[pdu.command]));
  const bound = pdu.command.startsWith('bind_') && !options.command_status;
  session.send(pdu.response(options), function () {
    if (pdu.command === 'unbind') session.close();
    if (!bound) return;
    for (const [command, fields] of scenario.send || []) {
      session.send(new smpp.PDU(command, withBuffers(fields)));
    }
  });
}

const server = smpp.createServer(function (session) {
  const sent = new Set();
  session.on('error', function (error) { print(['== error', 'text=' + String(error && error.message)]); });
  session.on('close', function () {
    print(['== closed']);
    process.exit(0);
  });
  session.on('send', function (pdu) {
    if (pdu.isResponse()) return;
    sent.add(pdu.sequence_number);
    print(['== sent ' + pdu.command, 'sequence_number=' + pdu.sequence_number]);
  });
  session.on('pdu', function (pdu) {
    const lines = ['== ' + pdu.command];
    for (const key of Object.keys(pdu)) {
      if (key !== 'command' && typeof pdu[key] !== 'function') flatten(pdu[key], key, lines);
    }
    if (pdu.octets) lines.push(...rawTimes(pdu.octets));
    if (pdu.isResponse()) lines.push('matches_sent=' + (sent.has(pdu.sequence_number) ? 'yes' : 'no'));
    print(lines);
    if (!pdu.isResponse() && pdu.command !== 'unknown') answer(session, pdu);
    // The answer to the peer's own unbind ends the session, as at an SMSC.
    if (pdu.command === 'unbind_resp') session.close();
  });
});

server.listen(Number(process.env.KORVANE_PEER_PORT || 0), '127.0.0.1', function () {
  print(['pid=' + process.pid, 'port=' + server.address().port]);
});
