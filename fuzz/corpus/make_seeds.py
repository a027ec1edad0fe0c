#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: valid PDUs of every kind the
session receives, framed for received_stream, typed as hex for debug_pdu,
and a few operation sequences for message_object. Run it from anywhere;
the files are committed, so this only needs running when seeds change."""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def pdu(command_id, status, sequence, body=b""):
    return struct.pack(">IIII", 16 + len(body), command_id, status, sequence) + body


def cstr(text):
    return text.encode("latin-1") + b"\0"


def tlv(tag, value):
    return struct.pack(">HH", tag, len(value)) + value


def deliver_body(source, dest, esm_class, short_message, tlvs=b"", data_coding=0):
    return (cstr("") + bytes([1, 1]) + cstr(source) + bytes([1, 1]) + cstr(dest) +
            bytes([esm_class, 0, 0]) + cstr("") + cstr("") + bytes([0, 0, data_coding, 0]) +
            bytes([len(short_message)]) + short_message + tlvs)


RECEIPT = b"id:0A1B2C sub:001 dlvrd:001 submit date:2403151200 done date:2403151201 stat:DELIVRD err:000 text:Hello"

BIND_TRX_RESP = pdu(0x80000009, 0, 2, cstr("SMSC"))
PDUS = {
    "bind_transceiver_resp": BIND_TRX_RESP,
    "bind_receiver_resp": pdu(0x80000001, 0, 2, cstr("SMSC")),
    "bind_transmitter_resp": pdu(0x80000002, 0, 1, cstr("SMSC")),
    "bind_resp_refused": pdu(0x80000009, 0x0E, 2, cstr("")),
    "submit_sm_resp": pdu(0x80000004, 0, 3, cstr("0A1B2C")),
    "submit_sm_resp_error": pdu(0x80000004, 0x45, 4),
    "submit_multi_resp": pdu(0x80000021, 0, 5, cstr("77") + bytes([2]) +
                             bytes([1, 1]) + cstr("447700900123") + struct.pack(">I", 0x0B) +
                             bytes([0, 0]) + cstr("list") + struct.pack(">I", 0x400)),
    "deliver_sm_plain": pdu(0x00000005, 0, 6, deliver_body("447700900123", "12345", 0, b"Hello")),
    "deliver_sm_receipt": pdu(0x00000005, 0, 7, deliver_body(
        "12345", "447700900123", 4, RECEIPT,
        tlv(0x001E, b"0A1B2C\0") + tlv(0x0427, b"\x02") + tlv(0x0423, b"\x03\x00\x00"))),
    "deliver_sm_tlvs": pdu(0x00000005, 0, 8, deliver_body(
        "447700900123", "12345", 0, b"",
        tlv(0x0424, b"payload text") + tlv(0x0204, b"\x00\x2A") +
        tlv(0x0381, b"\x00\x01\x01" + b"447700900999") + tlv(0x020C, b"\x00\x01") +
        tlv(0x020E, b"\x02") + tlv(0x020F, b"\x01"), data_coding=8)),
    "query_sm_resp": pdu(0x80000003, 0, 9, cstr("0A1B2C") + cstr("240315120100000+") + bytes([2, 0])),
    "cancel_sm_resp": pdu(0x80000008, 0, 10),
    "generic_nack": pdu(0x80000000, 3, 11),
    "enquire_link": pdu(0x00000015, 0, 12),
    "enquire_link_resp": pdu(0x80000015, 0, 1),
    "unbind": pdu(0x00000006, 0, 13),
    "unbind_resp": pdu(0x80000006, 0, 14),
    "deliver_sm_resp": pdu(0x80000005, 0, 15, cstr("")),
    "data_sm": pdu(0x00000103, 0, 16, cstr("") + bytes([1, 1]) + cstr("1") + bytes([1, 1]) + cstr("2") + bytes([0, 0, 0])),
}


def record(kind, octets, delay_slices=1):
    return bytes([(delay_slices << 3) | kind]) + struct.pack(">H", len(octets)) + octets


def host_call(number, argument=b""):
    return record(7, bytes([number]) + argument)


def write(target, name, content):
    directory = os.path.join(HERE, target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as out:
        out.write(content)


def received_stream():
    everything = [p for n, p in PDUS.items() if not n.startswith("bind")]
    # Each PDU alone on a bound transceiver, traced.
    for name, octets in PDUS.items():
        if not name.startswith("bind"):
            write("received_stream", name, bytes([0x01]) + record(0, BIND_TRX_RESP) + record(0, octets))
    # Every PDU, one arrival each; then all in one arrival; then cut in pieces of 7.
    write("received_stream", "all_one_each", bytes([0x03]) + record(0, BIND_TRX_RESP) +
          b"".join(record(0, p) for p in everything))
    joined = b"".join(everything)
    write("received_stream", "all_in_one_arrival", bytes([0x01]) + record(0, BIND_TRX_RESP) + record(0, joined))
    write("received_stream", "all_in_pieces", bytes([0x00]) + record(0, BIND_TRX_RESP) +
          b"".join(record(0, joined[i:i + 7], 0) for i in range(0, len(joined), 7)))
    # Bound as receiver and transmitter.
    write("received_stream", "receiver", bytes([0x04]) + record(0, PDUS["bind_receiver_resp"]) +
          record(0, PDUS["deliver_sm_receipt"]))
    write("received_stream", "transmitter", bytes([0x08]) + record(0, PDUS["bind_transmitter_resp"]) +
          record(0, PDUS["submit_sm_resp"]))
    # A host that answers from its handlers, with the link timer on.
    write("received_stream", "host_in_handlers", bytes([0x31]) + record(0, BIND_TRX_RESP) +
          b"".join(record(0, PDUS[n]) for n in ("deliver_sm_plain", "deliver_sm_tlvs", "submit_sm_resp",
                                                 "query_sm_resp", "enquire_link_resp", "generic_nack")))
    # Host calls between arrivals, each answered.
    write("received_stream", "host_calls", bytes([0x01]) + record(0, BIND_TRX_RESP) +
          host_call(2, b"447700900123") + record(0, PDUS["submit_sm_resp"]) +
          host_call(3, b"0A1B2C") + record(0, PDUS["query_sm_resp"]) +
          host_call(0) + record(0, PDUS["enquire_link_resp"]) +
          host_call(4, b"0A1B2C") + record(0, PDUS["cancel_sm_resp"]) +
          host_call(5, b"447700900123") + host_call(1, b"\x03x") + host_call(8) +
          host_call(6) + host_call(7) + record(0, PDUS["deliver_sm_plain"]))
    # The connection ends: closed by the peer, reset, aborted.
    for kind, name in ((4, "peer_close"), (5, "reset"), (6, "aborted")):
        write("received_stream", name, bytes([0x01]) + record(0, BIND_TRX_RESP) +
              record(0, PDUS["deliver_sm_plain"][:20]) + record(kind, b"") +
              record(0, PDUS["deliver_sm_plain"]))
    # A broken command_length, then more octets.
    write("received_stream", "bad_length", bytes([0x01]) + record(0, BIND_TRX_RESP) +
          record(0, PDUS["enquire_link"] + struct.pack(">I", 8) + b"\0" * 12) + record(0, PDUS["unbind"]))


def debug_pdu():
    def hex_text(octets):
        return " ".join("%02X" % o for o in octets)
    for name, octets in PDUS.items():
        write("debug_pdu", name, hex_text(octets).encode())
    write("debug_pdu", "several_lines", "\n".join(hex_text(p) for p in PDUS.values()).encode())
    write("debug_pdu", "lower_case_and_blanks", b"00  00 00 10 80 00 00 15 0 0 0 0 00 00 00 01")
    write("debug_pdu", "bad_pieces", b"00 00 00 10 80 00 00 15 GG\n100 00\n0000000000000000001")


def message_object():
    generator = random.Random(20240315)
    for index in range(6):
        write("message_object", "ops_%d" % index, bytes(generator.randrange(256) for _ in range(200 + 100 * index)))


if __name__ == "__main__":
    received_stream()
    debug_pdu()
    message_object()
