"""Fills the freshly provisioned domain in one process: 100 users, 10 groups and the facts the
tests look for. Run inside the DC's namespaces before samba starts; writes the facts as shell
assignments to the file named by the first argument."""
import sys

from samba.auth import system_session
from samba.param import LoadParm
from samba.samdb import SamDB
import ldb

USERS = 100
GROUPS = 10
UID_BASE = 20000
DOMAIN_USERS_GID = 10000
DOMAIN_ADMINS_GID = 10512
GROUP_GID_BASE = 11000
EXPIRY_SECONDS = 90 * 86400

lp = LoadParm()
lp.load_default()
db = SamDB(url=lp.private_path("sam.ldb"), session_info=system_session(), lp=lp)
base = db.domain_dn()


def set_attributes(name, objectclass, **values):
    msg = ldb.Message(ldb.Dn(db, "CN=%s,CN=Users,%s" % (name, base)))
    for key, value in values.items():
        msg[key] = ldb.MessageElement(str(value), ldb.FLAG_MOD_REPLACE, key)
    db.modify(msg)


db.transaction_start()
try:
    set_attributes("Domain Users", "group", gidNumber=DOMAIN_USERS_GID)
    set_attributes("Domain Admins", "group", gidNumber=DOMAIN_ADMINS_GID)
    for i in range(USERS):
        name = "user%03d" % i
        db.newuser(name, "Pw.%s.1x" % name, uidnumber=UID_BASE + i, gidnumber=DOMAIN_USERS_GID,
                   loginshell="/bin/sh")
    for j in range(GROUPS):
        group = "group%02d" % j
        db.newgroup(group, gidnumber=GROUP_GID_BASE + j)
        db.add_remove_group_members(group, ["user%03d" % i for i in range(j, USERS, GROUPS)])
    set_attributes("user001", "user", displayName="Erin Example", description="Accounts payable",
                   homeDirectory="\\\\files\\home\\user001", homeDrive="H:",
                   scriptPath="logon.cmd", profilePath="\\\\files\\profiles\\user001")
    db.disable_account("(sAMAccountName=user002)")
    db.setexpiry("(sAMAccountName=user003)", EXPIRY_SECONDS)
    db.add_remove_group_members("Domain Admins", ["user004"])
    db.transaction_commit()
except Exception:
    db.transaction_cancel()
    raise

with open(sys.argv[1], "w") as facts:
    facts.write("domain_sid=%s\n" % db.get_domain_sid())
    facts.write("full_name_user=user001 full_name='Erin Example'\n")
    facts.write("disabled_user=user002\nexpiring_user=user003\nadmin_user=user004\n")
    facts.write("users=%d groups=%d uid_base=%d\n" % (USERS, GROUPS, UID_BASE))
