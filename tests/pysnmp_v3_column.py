#!/usr/bin/python3
"""The peer's reading of one table column as each SNMPv3 user: pysnmp (python3-pysnmp4) walks
COLUMN on 127.0.0.1:PORT in CONTEXT and prints, per user, "USER: value|value|...".

    pysnmp_v3_column.py PORT CONTEXT COLUMN USER:AUTH:AUTHKEY:PRIV:PRIVKEY...

AUTH and PRIV are our protocol names (SHA256, AES192C, ...); empty for none.
"""
import sys

from pysnmp.hlapi import (ContextData, ObjectIdentity, ObjectType, SnmpEngine,
                          UdpTransportTarget, UsmUserData, bulkCmd)
from pysnmp.hlapi import usmHMACMD5AuthProtocol, usmHMACSHAAuthProtocol
from pysnmp.hlapi import usmHMAC128SHA224AuthProtocol, usmHMAC192SHA256AuthProtocol
from pysnmp.hlapi import usmHMAC256SHA384AuthProtocol, usmHMAC384SHA512AuthProtocol
from pysnmp.hlapi import usmDESPrivProtocol, usm3DESEDEPrivProtocol, usmAesCfb128Protocol
from pysnmp.hlapi import usmAesCfb192Protocol, usmAesCfb256Protocol
from pysnmp.hlapi import usmAesBlumenthalCfb192Protocol, usmAesBlumenthalCfb256Protocol

AUTH = {"MD5": usmHMACMD5AuthProtocol, "SHA": usmHMACSHAAuthProtocol,
        "SHA224": usmHMAC128SHA224AuthProtocol, "SHA256": usmHMAC192SHA256AuthProtocol,
        "SHA384": usmHMAC256SHA384AuthProtocol, "SHA512": usmHMAC384SHA512AuthProtocol}
PRIV = {"DES": usmDESPrivProtocol, "3DES": usm3DESEDEPrivProtocol, "AES": usmAesCfb128Protocol,
        "AES192": usmAesBlumenthalCfb192Protocol, "AES256": usmAesBlumenthalCfb256Protocol,
        "AES192C": usmAesCfb192Protocol, "AES256C": usmAesCfb256Protocol}


def main():
    port, context, column = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    engine = SnmpEngine()
    for spec in sys.argv[4:]:
        name, auth, auth_key, priv, priv_key = spec.split(":")
        user = UsmUserData(name, auth_key or None, priv_key or None,
                           authProtocol=AUTH.get(auth), privProtocol=PRIV.get(priv))
        values = []
        for error, status, _, binds in bulkCmd(
                engine, user, UdpTransportTarget(("127.0.0.1", port), timeout=2, retries=1),
                ContextData(contextName=context), 0, 25, ObjectType(ObjectIdentity(column)),
                lexicographicMode=False):
            if error or status:
                sys.exit("%s: %s %s" % (name, error, status))
            values.extend(str(value) for _, value in binds)
        print("%s: %s" % (name, "|".join(values)))


if __name__ == "__main__":
    main()
