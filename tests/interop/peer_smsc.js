// An SMSC built on the npm `smpp` package (0.5.1), an SMPP implementation
// independent of ours, for the interoperability tests.
//
// Listens on 127.0.0.1 on a port the system chooses and reports on stdout,
// one flat JSON object per line, every value a string:
//   {"event":"listening","port":"..."}
//   {"event":"connected"} / {"event":"closed"} / {"event":"error","text":"..."}
//   {"event":"received","command":"submit_sm","sequence_number":"3",
//    "command_status":"0", <the peer's decoded fields>}
//   {"event":"sent","command":"deliver_sm","sequence_number":"1"}
// Decoded fields are flattened with dotted paths ("callback_num.0.number",
// "short_message.message"); Buffers are lower-case hex, numbers decimal.
// "octets" holds the whole PDU in hex, "raw.<field>" a time field as sent.
//
// Requests are answered at once (binds, submissions, query, cancel, deliver,
// enquire_link; unbind is answered and the connection closed; an unbind_resp
// also closes it). Commands, one JSON object per line on stdin:
//   {"op":"send","command":"deliver_sm","fields":{...}}   a request to the ESME;
//       a field value {"hex":"..."} is sent as a Buffer
//   {"op":"answer","command":"submit_multi","fields":{...}}   answer that
//       command with these fields from now on, over the usual ones (a
//       command_status sends the header alone); reported as {"event":"answer",...}
//   {"op":"close"}                                        close the connection
'use strict';
const readline = require('readline');
const smpp = require('smpp');

function report(entry) {
  process.stdout.write(JSON.stringify(entry) + '\n');
}

function flatten(value, path, into) {
  if (value === null || value === undefined) {
    into[path] = '';
  } else if (Buffer.isBuffer(value)) {
    into[path] = value.toString('hex');
  } else if (value instanceof Date) {
    into[path] = isNaN(value) ? 'Invalid Date' : value.toISOString();
  } else if (typeof value === 'object') {
    for (const key of Object.keys(value)) flatten(value[key], path ? path + '.' + key : key, into);
  } else {
    into[path] = String(value);
  }
  return into;
}

// The octets of every PDU the package decodes, kept for the report.
const fromBuffer = smpp.PDU.prototype.fromBuffer;
smpp.PDU.prototype.fromBuffer = function (buffer) {
  Object.defineProperty(this, 'octets', { value: Buffer.from(buffer), enumerable: false });
  return fromBuffer.call(this, buffer);
};

// The package turns SMPP time strings into Dates; the strings as sent are
// reported beside them as "raw.<field>".
const timeFields = ['schedule_delivery_time', 'validity_period', 'final_date'];

function rawTimes(octets) {
  const filter = smpp.PDU.prototype._filter;
  smpp.PDU.prototype._filter = function () {};
  try {
    const raw = new smpp.PDU(octets);
    const times = {};
    for (const key of timeFields) if (key in raw) times['raw.' + key] = String(raw[key]);
    return times;
  } finally {
    smpp.PDU.prototype._filter = filter;
  }
}

function decodedFields(pdu) {
  const fields = {};
  for (const key of Object.keys(pdu)) {
    if (key === 'command' || typeof pdu[key] === 'function') continue;
    flatten(pdu[key], key, fields);
  }
  if (pdu.octets) Object.assign(fields, rawTimes(pdu.octets), { octets: pdu.octets.toString('hex') });
  return fields;
}

function withBuffers(fields) {
  const result = {};
  for (const key of Object.keys(fields || {})) {
    const value = fields[key];
    result[key] = value && typeof value === 'object' && typeof value.hex === 'string'
      ? Buffer.from(value.hex, 'hex') : value;
  }
  return result;
}

const answerFields = {};
let messageCount = 0;
let current = null;

function answer(session, pdu) {
  const options = {};
  switch (pdu.command) {
    case 'bind_transmitter':
    case 'bind_receiver':
    case 'bind_transceiver':
      options.system_id = 'NPMSMSC';
      break;
    case 'submit_sm':
      options.message_id = 'NPM-' + (++messageCount);
      break;
    case 'submit_multi':
      options.message_id = 'MULTI-' + (++messageCount);
      options.unsuccess_sme = [];
      break;
    case 'query_sm':
      Object.assign(options, { message_id: pdu.message_id, final_date: '261206120000000+',
        message_state: 2, error_code: 7 });
      break;
    case 'deliver_sm':
      options.message_id = '';
      break;
    default:
      break;
  }
  Object.assign(options, answerFields[pdu.command]);
  if (pdu.command === 'unbind') {
    session.send(pdu.response(options), function () { session.close(); });
  } else {
    session.send(pdu.response(options));
  }
}

const server = smpp.createServer(function (session) {
  current = session;
  report({ event: 'connected' });
  session.on('error', function (error) { report({ event: 'error', text: String(error && error.message) }); });
  session.on('close', function () {
    if (current === session) current = null;
    report({ event: 'closed' });
  });
  session.on('send', function (pdu) {
    if (pdu.isResponse()) return;
    report({ event: 'sent', command: pdu.command, sequence_number: String(pdu.sequence_number) });
  });
  session.on('pdu', function (pdu) {
    report(Object.assign({ event: 'received', command: pdu.command }, decodedFields(pdu)));
    if (!pdu.isResponse() && pdu.command !== 'unknown') answer(session, pdu);
    // The answer to the peer's own unbind ends the session, as at an SMSC.
    if (pdu.command === 'unbind_resp') session.close();
  });
});

readline.createInterface({ input: process.stdin }).on('line', function (line) {
  let command;
  try {
    command = JSON.parse(line);
  } catch (error) {
    report({ event: 'error', text: 'bad command: ' + line });
    return;
  }
  if (command.op === 'answer') {
    answerFields[command.command] = withBuffers(command.fields);
    report({ event: 'answer', command: command.command });
  } else if (!current) {
    report({ event: 'error', text: 'no connection for ' + line });
  } else if (command.op === 'send') {
    current.send(new smpp.PDU(command.command, withBuffers(command.fields)));
  } else if (command.op === 'close') {
    current.close();
  }
}).on('close', function () { process.exit(0); });

server.on('error', function (error) { report({ event: 'error', text: String(error && error.message) }); });
server.listen(0, '127.0.0.1', function () {
  report({ event: 'listening', port: String(server.address().port) });
});
