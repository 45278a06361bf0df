# A forum site served on 127.0.0.1, for the web server test and `make demo`: by lighttpd, run as
# the current user, or by Apache with suEXEC, started as root, each script run as the site's own
# user. Each server runs from its scratch folder and is stopped by its own process id.
#
# Sourced, not run:
#   source tools/forum-server.sh
#   forum_server_start SITE PORT SCRATCH   # lighttpd; config and error log in SCRATCH; waits until it answers
#   forum_apache_start SITE PORT SCRATCH USER  # Apache, as root; suEXEC runs the scripts as USER
#   forum_server_stop                      # safe to call more than once, and when none was started
# shellcheck shell=bash

forum_server_pid=

# forum_free_port: a port of 127.0.0.1 that nothing listens on just now.
forum_free_port() {
    perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(LocalAddr => "127.0.0.1:0", Listen => 1)->sockport'
}

# forum_suexec_setting NAME: one of the settings suexec was built with (AP_DOC_ROOT, AP_UID_MIN,
# AP_HTTPD_USER, ...), as `suexec -V` shows them to root.
forum_suexec_setting() {
    /usr/lib/apache2/suexec -V 2>&1 | sed -n "s/^ *-D $1=\"\{0,1\}\([^\"]*\)\"\{0,1\}\$/\1/p"
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
    forum_server_wait lighttpd "$port" "$scratch/error.log"
}

# Apache's parent runs as root, its children as the user suexec accepts as its caller. suexec
# starts each .cgi by its bare name in the script's folder, as USER, and only when the site lies
# under its document root and the script and its folder belong to USER and are writable by no one
# else; the script runs through its first line, so that line must end in LF.
forum_apache_start() {
    local site=$1 port=$2 scratch=$3 user=$4 caller modules=/usr/lib/apache2/modules
    caller=$(forum_suexec_setting AP_HTTPD_USER)
    mkdir -p "$scratch" || return 1
    cat >"$scratch/httpd.conf" <<EOF
ServerRoot "$scratch"
ServerName 127.0.0.1
Listen 127.0.0.1:$port
PidFile "$scratch/httpd.pid"
DefaultRuntimeDir "$scratch"
Mutex file:$scratch default
ErrorLog "$scratch/error.log"
User $caller
Group $(id -gn "$caller")
LoadModule mpm_prefork_module $modules/mod_mpm_prefork.so
LoadModule authz_core_module $modules/mod_authz_core.so
LoadModule mime_module $modules/mod_mime.so
TypesConfig /dev/null
LoadModule dir_module $modules/mod_dir.so
LoadModule cgi_module $modules/mod_cgi.so
LoadModule suexec_module $modules/mod_suexec.so
StartServers 2
<VirtualHost 127.0.0.1:$port>
    DocumentRoot "$site"
    SuexecUserGroup $user $(id -gn "$user")
    DirectoryIndex forum.cgi
    AddHandler cgi-script .cgi
    <Directory "$site">
        Options ExecCGI
        Require all granted
    </Directory>
    <FilesMatch "\.(txt|pl|pm)\$">
        Require all denied
    </FilesMatch>
</VirtualHost>
EOF
    # In a session of its own: on stopping, Apache signals its whole process group.
    (cd "$scratch" && exec setsid /usr/sbin/apache2 -f "$scratch/httpd.conf" -DFOREGROUND 2>>"$scratch/error.log") &
    forum_server_pid=$!
    forum_server_wait Apache "$port" "$scratch/error.log"
}

# forum_server_wait NAME PORT LOG: waits until the server just started answers; when it does not,
# shows its LOG and stops it.
forum_server_wait() {
    local tries
    for ((tries = 0; tries < 100; tries++)); do
        curl -s -o /dev/null "http://127.0.0.1:$2/qf.css" && return 0
        kill -0 "$forum_server_pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "$1 did not answer on 127.0.0.1:$2:" >&2
    cat "$3" >&2 2>/dev/null
    forum_server_stop
    return 1
}

forum_server_stop() {
    [[ -n $forum_server_pid ]] || return 0
    kill "$forum_server_pid" 2>/dev/null
    wait "$forum_server_pid" 2>/dev/null
    forum_server_pid=
}
