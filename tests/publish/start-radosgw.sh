#!/bin/sh
# A throwaway one-node Ceph cluster with radosgw, all under the folder $1, on
# 127.0.0.1 only: a monitor, one OSD in memory, no manager. Prints the S3
# endpoint on success; the daemons' PIDs are in $1/run/*.pid.
# Usage: start-radosgw.sh FOLDER MONPORT RGWPORT KEYID SECRET BUCKET
set -eu
d=$1 mon=$2 rgw=$3 key=$4 secret=$5 bucket=$6
mkdir -p "$d/mon" "$d/osd" "$d/run" "$d/log"
fsid=$(cat /proc/sys/kernel/random/uuid)
export CEPH_CONF="$d/ceph.conf"
cat > "$CEPH_CONF" <<CONF
[global]
fsid = $fsid
mon host = v2:127.0.0.1:$mon
# Without cephx, and radosgw would otherwise wait 300 s for a secure monitor connection.
auth cluster required = none
auth service required = none
auth client required = none
ms mon client mode = crc
osd pool default size = 1
osd pool default min size = 1
mon allow pool size one = true
osd pool default pg num = 8
# radosgw makes six pools; each would wait two seconds.
paxos propose interval = 0.1
paxos min wait = 0.01
mon data avail warn = 2
mon data avail crit = 1
run dir = $d/run
pid file = $d/run/\$name.pid
log file = $d/log/\$name.log
mon cluster log file = $d/log/cluster.log
keyring = $d/keyring
mon data = $d/mon
osd data = $d/osd
osd objectstore = memstore
memstore device bytes = 268435456
[client.rgw]
rgw frontends = beast endpoint=127.0.0.1:$rgw
# Bucket names in front of it, as virtual-hosted addresses have them; curl finds
# every *.localhost on the loopback by itself.
rgw dns name = localhost
CONF
ceph-authtool --create-keyring "$d/keyring" --gen-key -n mon. --cap mon 'allow *' >/dev/null
monmaptool --create --addv a "[v2:127.0.0.1:$mon]" --fsid "$fsid" "$d/monmap" >/dev/null
ceph-mon --mkfs -i a --monmap "$d/monmap" >/dev/null
ceph-mon -i a
# Commands that need a manager would hang: each one is bounded.
id=$(timeout 20 ceph --connect-timeout 15 osd create)
ceph-osd -i "$id" --mkfs >/dev/null 2>&1
ceph-osd -i "$id"
radosgw -n client.rgw
timeout 30 radosgw-admin user create --uid=tandrel --display-name=Tandrel \
    --access-key="$key" --secret="$secret" >/dev/null
# The bucket, once radosgw answers, its objects readable by anyone as a web
# site's are. curl 7.88 signs the payload's hash but does not send it.
put() { # URL BODY
    curl -sf --aws-sigv4 aws:amz:us-east-1:s3 --user "$key:$secret" -X PUT --data-binary "$2" \
        -H "x-amz-content-sha256: $(printf %s "$2" | sha256sum | cut -c1-64)" "$1" >/dev/null 2>&1
}
policy='{"Version":"2012-10-17","Statement":[{"Effect":"Allow","Principal":"*",
 "Action":["s3:GetObject"],"Resource":["arn:aws:s3:::'$bucket'/*"]}]}'
for i in $(seq 1 200); do
    if put "http://127.0.0.1:$rgw/$bucket" ""; then
        put "http://127.0.0.1:$rgw/$bucket?policy=" "$policy" && echo "http://127.0.0.1:$rgw" &&
            exit 0
        break
    fi
    sleep 0.1
done
echo "radosgw did not answer on 127.0.0.1:$rgw; see $d/log" >&2
exit 1
