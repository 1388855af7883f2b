#!/usr/bin/python3
"""A Modbus server with a fixed register map for the tests, on TCP or on a serial device (RTU).

Usage: modbus_server.py --tcp ADDR:PORT | --rtu DEVICE [--baud N]
Prints "ready" on standard output once it serves. Addresses count from 0 (zero_mode).

Map (unit ids all share it; holding register 13 is left out, so reading it is refused
with exception 2):
  coils 0..2             1, 0, 1
  discrete inputs 0      1
  input registers 0..2   258, then uint32 0x00010002 in CDAB order (65538)
  holding 0              int16 -2
  holding 1              uint16 4660
  holding 2..3           float 1234.56 (ABCD)
  holding 4..7           double 123456.789 (ABCD)
  holding 8..10          string "Pump-7"
  holding 11..12         int32 305419896 (ABCD)
  holding 14             uint16 99 (writable)
"""

import argparse
import asyncio
import logging
import struct
import sys

from pymodbus.datastore import (ModbusServerContext, ModbusSlaveContext,
                                ModbusSparseDataBlock)
from pymodbus.server.async_io import ModbusSerialServer, ModbusTcpServer
from pymodbus.transaction import ModbusRtuFramer, ModbusSocketFramer


def words(fmt, value):
    raw = struct.pack(fmt, value)
    return [int.from_bytes(raw[i:i + 2], "big") for i in range(0, len(raw), 2)]


def holding():
    values = [0xFFFE, 4660] + words(">f", 1234.56) + words(">d", 123456.789)
    values += [int.from_bytes(b"Pu", "big"), int.from_bytes(b"mp", "big"), int.from_bytes(b"-7", "big")]
    values += words(">i", 305419896)
    table = {i: v for i, v in enumerate(values)}
    table[14] = 99
    return table


def context():
    slave = ModbusSlaveContext(
        co=ModbusSparseDataBlock({0: 1, 1: 0, 2: 1}),
        di=ModbusSparseDataBlock({0: 1}),
        ir=ModbusSparseDataBlock({0: 258, 1: 0x0002, 2: 0x0001}),
        hr=ModbusSparseDataBlock(holding()),
        zero_mode=True)
    return ModbusServerContext(slaves=slave, single=True)


async def serve(arguments):
    if arguments.tcp:
        host, port = arguments.tcp.rsplit(":", 1)
        server = ModbusTcpServer(context(), ModbusSocketFramer, None, (host, int(port)),
                                 allow_reuse_address=True)
        task = asyncio.create_task(server.serve_forever())
        await asyncio.wait_for(server.serving, 10)
    else:
        server = ModbusSerialServer(context(), ModbusRtuFramer, port=arguments.rtu,
                                    baudrate=arguments.baud, timeout=0.005)
        await server.start()
        task = asyncio.create_task(server.serve_forever())
    print("ready", flush=True)
    await task


def main():
    parser = argparse.ArgumentParser()
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--tcp")
    group.add_argument("--rtu")
    parser.add_argument("--baud", type=int, default=115200)
    arguments = parser.parse_args()
    logging.basicConfig(level=logging.CRITICAL)
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)
    try:
        asyncio.run(serve(arguments))
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
