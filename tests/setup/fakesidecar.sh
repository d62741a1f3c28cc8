#!/bin/sh
# Stands in for quorvelin-mcp in the self-test, failing as QUORVELIN_FAKE says: "exit" answers
# initialize and ends; "silent" answers nothing and ignores the end of its input. It leaves its
# pid in $TMPDIR/fake.pid, so that a test can see it gone.
echo $$ >"$TMPDIR/fake.pid"
[ "$QUORVELIN_FAKE" = silent ] && exec sleep 600
read -r request
echo '{"id":1,"jsonrpc":"2.0","result":{"protocolVersion":"2024-11-05","serverInfo":{"build":"fake","name":"fake"}}}'
