#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed corpora in corpus/<target>/: well-formed replies,
requests and sessions that lead each fuzz target into its interesting paths.
The input formats are described at the top of each target's source."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Value stream encoding: a 32-bit tag, then the payload.
T_INT8, T_INT16, T_INT32, T_INT64, T_UINT8, T_UINT16, T_UINT32, T_UINT64 = range(100, 108)
T_STRING, T_DOUBLE, T_FLOAT, T_FVEC, T_DVEC, T_NIL, T_BOOL = range(108, 115)
T_ARRAY, T_ARRAY_END, T_OBJECT, T_OBJECT_END = range(115, 119)


def word(w): return struct.pack('<I', w & 0xffffffff)
def i32(v): return word(T_INT32) + struct.pack('<i', v)
def u32(v): return word(T_UINT32) + struct.pack('<I', v)
def u8(v): return word(T_UINT8) + bytes([v])
def f32(v): return word(T_FLOAT) + struct.pack('<f', v)
def f64(v): return word(T_DOUBLE) + struct.pack('<d', v)
def s(text): b = text.encode() + b'\0'; return word(T_STRING) + word(len(b)) + b
def fvec(*xs): return word(T_FVEC) + word(len(xs)) + b''.join(struct.pack('<f', x) for x in xs)
def dvec(*xs): return word(T_DVEC) + word(len(xs)) + b''.join(struct.pack('<d', x) for x in xs)
def nil(): return word(T_NIL) + b'\0'
def array(*vs): return word(T_ARRAY) + b''.join(vs) + word(T_ARRAY_END)
def obj(**kv): return word(T_OBJECT) + b''.join(s(k) + v for k, v in kv.items()) + word(T_OBJECT_END)


def prop_table(*entries): return i32(len(entries)) + b''.join(entries)
def port(name, *peers): return s(name) + i32(len(peers)) + b''.join(s(p) for p in peers)
def port_table(*ports): return i32(len(ports)) + b''.join(ports)


PROPS = prop_table(s('frequency') + s('float') + f32(440.0),
                   s('channels') + s('uint32') + u32(4),
                   s('order') + s('uint8') + u8(2),
                   s('waveform') + s('enum') + i32(3) + s('sine') + s('square') + s('saw') + i32(1))
OTHER_PROPS = prop_table(s('gain') + s('double') + f64(0.5),
                         s('taps') + s('float_vector') + fvec(0.5, 0.25),
                         s('tags') + s('object') + obj(take=i32(3), name=s('x')),
                         s('width') + s('uint16') + word(T_UINT16) + struct.pack('<H', 7))
PORTS = port_table(port('out', 'mix.in1', 'lowpass.in'), port('fm'), s('sync') + i32(-1) + s('lfo.out'))
SCALARS = (word(T_INT8) + b'\xfe' + word(T_INT16) + struct.pack('<h', -300) + i32(-5) +
           word(T_INT64) + struct.pack('<q', 1 << 40) + u8(200) + u32(7) +
           word(T_UINT64) + struct.pack('<Q', 1 << 63) + f32(1.5) + f64(-2.25) +
           word(T_BOOL) + word(1) + nil())


def reply_values(layout, ops, data, header=b''):
    return bytes([layout]) + header + bytes([len(ops) - 1]) + bytes(ops) + data


def offsets_header(length):
    return word(0) + word(0) + word(24) + word(0x80000) + word(24) + word(24 + length)


def reply_listing(listing, reply, ioctl_fails=False):
    return bytes([(listing << 2) | (16 if ioctl_fails else 0)]) + reply


def request(data, named=False):
    return bytes([4 if named else 0]) + data


def session(text): return text.encode()


CORPORA = {
    'reply_values': {
        'property_table': reply_values(0, [21], PROPS),
        'property_table_other_types': reply_values(0, [21], OTHER_PROPS),
        'port_table': reply_values(0, [22], PORTS),
        'entries_one_by_one': reply_values(0, [2, 19, 19], i32(2) + PROPS[8:]),
        'every_scalar': reply_values(0, list(range(11)), SCALARS),
        'strings_and_vectors': reply_values(0, [11, 12, 13], s('name') + fvec(1.0, 2.0) + dvec(3.0)),
        'array_and_object': reply_values(0, [14, 15], array(i32(1), s('a'), array(nil())) +
                                         obj(k=f64(2.5), o=obj(), v=dvec())),
        'any_values': reply_values(0, [16, 16, 16], obj(a=array(u8(1))) + fvec(0.5) + s('end')),
        'conversions': reply_values(0, [17, 18, 17, 18, 18, 17],
                                    word(T_UINT16) + b'\x07\x00' + word(T_BOOL) + word(0) + s('text') +
                                    fvec(2.0, 3.0) + nil() + dvec()),
        'offsets_header': reply_values(1, [2, 11], i32(9) + s('x'), offsets_header(len(i32(9) + s('x')))),
        'raw_header': reply_values(2, [16], i32(1), bytes(24)),
    },
    'reply_listing': {
        'properties': reply_listing(0, i32(0) + PROPS),
        'properties_other_types': reply_listing(0, i32(0) + OTHER_PROPS),
        'outputs': reply_listing(1, i32(0) + PORTS),
        'inputs': reply_listing(2, i32(0) + port_table(port('in', 'osc1.out'), port('fm'))),
        'no_entries': reply_listing(1, i32(0) + i32(0)),
        'failure_status': reply_listing(0, i32(1) + i32(42) + s('injected fault')),
        'failure_status_bare': reply_listing(2, i32(7)),
        'ioctl_fails': reply_listing(1, b'', ioctl_fails=True),
    },
    'request_executor': {
        'list_factories': request(i32(16)),
        'list_funcs': request(i32(17) + s('gain')),
        'list_func_props': request(i32(18) + s('osc2')),
        'list_outputs': request(i32(19) + s('osc2')),
        'list_inputs': request(i32(20) + s('mix')),
        'create': request(i32(3) + s('gain') + s('g')),
        'destroy': request(i32(4) + u32(5)),
        'connect': request(i32(5) + s('osc1.out') + s('mix.in4')),
        'connect_unchecked': request(i32(6) + s('osc1.out') + s('lowpass.in')),
        'disconnect': request(i32(7) + s('osc1.out') + s('mix.in1')),
        'write_func_props': request(i32(8) + s('osc1') + s('frequency') + f32(100.0) + s('waveform') + i32(2)),
        'value': request(i32(10) + s('osc1.frequency') + s('mix.channels') + s('nope.x')),
        'activate': request(i32(13) + s('osc1') + i32(0)),
        'res_method': request(i32(15) + s('a') + s('b') + u32(3) + s('c') + s('d')),
        'list_output_cons': request(s('list_output_cons') + s('osc2.out'), named=True),
        'offsets_header': bytes([1]) + offsets_header(len(i32(16))) + i32(16),
    },
    'test_mode_input': {
        'listings': session('1\n2\ngain\n3\nosc2\n4\nosc2\n5\nmix\n11\n'),
        'editing': session('6\ngain\ng1\n8\ng1\nlevel\nfloat\n0.25\n9\nosc1\ng1\nout\nin\n'
                           '10\nosc1\ng1\nout\nin\n7\ng1\n11\n'),
        'rejections': session('6\nnope\nx\n7\nnever\n8\nosc1\nnope\nfloat\n1\n9\na\nb\nc\nd\n11\n'),
        'bad_input': session('x\n-3\n12\n8\nosc1\nfrequency\nfloat\nabc\n8\nosc1\nfrequency\nfloat\n1e99\n11\n'),
        'input_ends_inside_a_choice': session('6\ngain'),
    },
}

def nested(depth, inner=b'1'):
    return b'[' * depth + inner + b']' * depth


def document(value, extra=b''):
    """A document setting osc1's frequency to `value` (JSON text)."""
    return (b'{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", "properties": '
            b'[{"name": "frequency", "value": ' + value + b'}]' + extra + b'}]}]}')


SIDES = (b'{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", '
         b'"outputs": [{"name": "out", "connections": ["mix.in3"]}]}]}, '
         b'{"name": "mixer", "blocks": [{"name": "mix", "inputs": [{"name": "in3", "connections": []}]}]}]}')

# Deep nesting and large arrays need long inputs: these targets run with a
# max_len that takes every seed whole.
HOSTILE_DOCUMENTS = {
    'deep_value': document(nested(20000)),
    'at_depth_limit': document(nested(25)),
    'beyond_depth_limit': document(nested(26)),
    'deep_objects': document(b'{"a": ' * 5000 + b'1' + b'}' * 5000),
    'large_float_array': document(b'[' + b'0.5,' * 30000 + b'0]'),
    'large_mixed_array': document(b'[' + b'{}, [], "", null, ' * 5000 + b'0]'),
    'duplicate_keys': document(b'1', b', "name": "osc2"'),
    'sides_disagree': SIDES,
    'enum_forms': (b'{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", "properties": ['
                   b'{"name": "waveform", "value": 0.0}, {"name": "waveform", "value": {"index": 1}}, '
                   b'{"name": "waveform", "value": {"choices": ["sine", "square", "sawtooth"], "index": 2}}]}]}]}'),
}

CORPORA['documents'] = HOSTILE_DOCUMENTS
CORPORA['api_bodies'] = {
    'deep_property_value': b'{"cutoff": ' + nested(20000) + b'}',
    'deep_document_value': HOSTILE_DOCUMENTS['deep_value'],
    'large_property_array': b'{"taps": [' + b'0,' * 60000 + b'0]}',
    'duplicate_property': b'{"channels": 7, "channels": 9}',
    'duplicate_connection_key': b'{"from": "osc1.out", "to": "mix.in4", "to": "mix.in3"}',
    'enum_object': b'{"mode": {"index": 1}, "wave": {"choices": ["a", "b"], "index": 0}, "x": 0.0}',
    'sides_disagree': SIDES,
}

for target, seeds in CORPORA.items():
    directory = os.path.join(HERE, 'corpus', target)
    os.makedirs(directory, exist_ok=True)
    for name, content in seeds.items():
        with open(os.path.join(directory, name), 'wb') as f:
            f.write(content)
