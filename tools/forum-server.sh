# A forum site served by lighttpd on 127.0.0.1, its .cgi scripts run by Perl, for the web server
# test and `make demo`. The server runs as the current user, from its scratch folder, and is
# stopped by its own process id.
#
# Sourced, not run:
#   source tools/forum-server.sh
#   forum_server_start SITE PORT SCRATCH   # config and error log in SCRATCH; waits until it answers
#   forum_server_stop                      # safe to call more than once, and when none was started
# shellcheck shell=bash

forum_server_pid=

# forum_free_port: a port of 127.0.0.1 that nothing listens on just now.
forum_free_port() {
    perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(LocalAddr => "127.0.0.1:0", Listen => 1)->sockport'
}

forum_server_start() {
    local site=$1 port=$2 scratch=$3
    mkdir -p "$scratch/uploads" || return 1
    # Every .cgi is given to Perl, so neither execute bits nor the scripts' first line (which
    # ends in CR LF) matter. lighttpd starts each script in the script's own folder.
    cat >"$scratch/lighttpd.conf" <<EOF
server.modules = ("mod_access", "mod_cgi")
server.document-root = "$site"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$scratch/error.log"
server.upload-dirs = ("$scratch/uploads")
server.max-request-size = 4096
index-file.names = ("forum.cgi")
cgi.assign = (".cgi" => "/usr/bin/perl")
url.access-deny = (".txt", ".pl", ".pm")
\$HTTP["url"] =~ "/upload/" { url.access-deny = () }
mimetype.assign = (".css" => "text/css", ".gif" => "image/gif", ".jpg" => "image/jpeg",
                   ".png" => "image/png", ".zip" => "application/zip", ".txt" => "text/plain")
EOF
    (cd "$scratch" && exec lighttpd -D -f "$scratch/lighttpd.conf" 2>>"$scratch/scripts.log") &
    forum_server_pid=$!
    local tries
    for ((tries = 0; tries < 100; tries++)); do
        curl -s -o /dev/null "http://127.0.0.1:$port/qf.css" && return 0
        kill -0 "$forum_server_pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "lighttpd did not answer on 127.0.0.1:$port:" >&2
    cat "$scratch/error.log" >&2 2>/dev/null
    forum_server_stop
    return 1
}

forum_server_stop() {
    [[ -n $forum_server_pid ]] || return 0
    kill "$forum_server_pid" 2>/dev/null
    wait "$forum_server_pid" 2>/dev/null
    forum_server_pid=
}
