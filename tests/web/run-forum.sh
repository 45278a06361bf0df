#!/usr/bin/env bash
# The demo forum on a real web server, Perl and Debian's CGI module, driven by curl. One scenario:
# register with an avatar, log in, change the avatar, post a topic with an attachment, reply with
# another, read the topic and its board, search, stats. Each upload must be stored byte for byte
# and each page must be the same as on lighttpd with the site as shipped (times aside).
#
# lighttpd (the default): the site as shipped, with its own KQCGI.pm, then a copy converted by
# kqconvert, with KQCGI.pm removed. After the conversion, a missing required file gives the error
# page naming it, the script the report left alone fails on the server, and a script run from /
# or by its bare name in its own folder prints its page.
#
# apache: Apache with suEXEC, as shared hosts run CGI scripts: as the site's own user, by their
# bare name in their own folder, from under suexec's document root, with LF line ends as an FTP
# upload in text mode leaves them. The scenario runs on the site as shipped and on the converted
# copy; the copy as the first versions of kqconvert wrote it shows the error page there, and a
# run of kqconvert turns it into the converted copy byte for byte. Needs root (exit 77 without).
#
#   run-forum.sh KQCONVERT [lighttpd|apache]
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
repo=$(cd "$here/../.." && pwd) || exit 2
kqconvert=$(realpath "$1") || exit 2
server=${2:-lighttpd}
# shellcheck source=SCRIPTDIR/../../tools/forum-server.sh
source "$repo/tools/forum-server.sh"
export LC_ALL=C

if [[ $server == apache ]] && ((EUID != 0)); then
    echo "skipped: needs root"
    exit 77
fi

# shellcheck source=SCRIPTDIR/../support/scratch-folder.sh
source "$repo/tests/support/scratch-folder.sh"
scratch_folder kq-forum
webroot='' siteuser=kqforum made_user=''
cleanup() {
    forum_server_stop
    rm -rf ${webroot:+"$webroot"}
    [[ -z $made_user ]] || userdel "$siteuser" || echo "the user $siteuser could not be removed"
}
on_exit cleanup

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# gbk TEXT: the UTF-8 TEXT in code page 936, as the forum reads and writes it; url TEXT: the same,
# percent-encoded.
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK; }
url() { gbk "$1" | od -An -tx1 -v | tr -d ' \n' | sed 's/../%&/g'; }

# Four uploads of over 300 KiB: every byte value, CR LF, 0x1A, 0x00, a line that begins like a
# multipart boundary, then random bytes.
for n in 1 2 3 4; do
    { perl -e 'print map(chr, 0 .. 255), "\r\n\x1a\x00\r\n--\r\n"' && head -c 310000 /dev/urandom; } >"$work/upload$n"
done

# new_run LABEL [SITE]: a fresh run folder $work/LABEL and in $site a copy of SITE (the demo site
# unless given): beside it for lighttpd; for Apache, under suexec's document root, owned by the
# site user, writable by no one else, its .cgi, .pl and .pm files with LF line ends.
new_run() {
    label=$1
    run=$work/$1
    mkdir -p "$run" || exit 1
    if [[ $label != apache-* ]]; then
        site=$run/site
        cp -R "${2:-$repo/examples/demo-site}" "$site" || exit 1
        return
    fi
    site=$webroot/$label
    cp -R "${2:-$repo/examples/demo-site}" "$site" &&
        find "$site" -maxdepth 1 \( -name '*.cgi' -o -name '*.pl' -o -name '*.pm' \) -exec perl -pi -e 's/\r$//' {} + &&
        chmod -R u=rwX,go=rX "$site" && chmod 755 "$site"/*.cgi && chown -R "$siteuser:" "$site" || exit 1
}

serve() {
    port=$(forum_free_port)
    base=http://127.0.0.1:$port
    if [[ $label == apache-* ]]; then
        forum_apache_start "$site" "$port" "$run/server" "$siteuser"
    else
        forum_server_start "$site" "$port" "$run/server"
    fi || { fail "$label: no server"; exit 1; }
}

# convert: kqconvert on $site converts every script but counter.cgi, which has no require
# statement and is reported; KQCGI.pm is then removed, as the free host lacks it.
convert() {
    "$kqconvert" "$site" >"$run/report" 2>&1
    local status=$?
    ((status == 1)) || fail "kqconvert ended with status $status"
    grep -qxF "未转换：counter.cgi：含有 KQCGI，但找不到 require 语句，未作修改" "$run/report" ||
        fail "the report does not name counter.cgi: $(cat "$run/report")"
    rm "$site/KQCGI.pm"
}

# page NAME CURL-ARGUMENTS...: one request with the run's cookies; the body is kept as
# $run/NAME.html; the answer must be a gb2312 page with status 200.
page() {
    local name=$1 answer
    shift
    answer=$(curl -sS -b "$run/cookies" -c "$run/cookies" -o "$run/$name.html" \
        -w '%{http_code} %{content_type}' "$@")
    [[ $answer == "200 text/html; charset=gb2312" ]] || fail "$label: $name answered $answer"
}

# shows NAME TEXT...: the page NAME holds each TEXT (given in UTF-8, sought in code page 936);
# when not, what it does show is printed, in UTF-8 without its tags.
shows() {
    local name=$1 text missing=()
    shift
    for text; do
        grep -qF -- "$(gbk "$text")" "$run/$name.html" || missing+=("$text")
    done
    ((${#missing[@]} == 0)) || fail "$label: $name does not show: ${missing[*]}; it shows:" \
        "$(iconv -c -f GBK -t UTF-8 "$run/$name.html" | sed 's/<[^>]*>//g' | tr -s ' \r\n' ' ' | head -c 300)"
}

# stored FILE N: the forum's FILE under its data folder holds exactly the bytes of upload N.
stored() {
    cmp -s "$site/qfdata/$1" "$work/upload$2" || fail "$label: qfdata/$1 is not upload $2"
}

scenario() {
    page register -F action=register -F "membername=$(gbk 清风)" -F password=secret \
        -F email=qf@forum.example -F "addme=@$work/upload1;filename=face.GIF" "$base/register.cgi"
    shows register 注册成功 "清风，欢迎您加入清风论坛！"
    stored face/2.gif 1
    page login -d "action=login&membername=$(url 清风)&password=secret" "$base/login.cgi"
    shows login "清风，欢迎回来！"
    page profile -F action=save -F email=qf@forum.example -F "signature=$(gbk 清风徐来)" \
        -F "addme=@$work/upload2;filename=new.png" "$base/profile.cgi"
    shows profile 个人资料已经更新 qfdata/face/2.png
    stored face/2.png 2
    [[ ! -e $site/qfdata/face/2.gif ]] || fail "$label: the old avatar was kept"
    page post -F action=new -F board=1 -F "title=$(gbk 春天的照片)" \
        -F "message=$(printf '%s\r\n%s' "$(gbk 去公园拍的。)" "$(gbk '<第二行>')")" \
        -F "addme=@$work/upload3;filename=spring.zip" "$base/post.cgi"
    shows post 帖子已经发表
    stored upload/1-1-0.zip 3
    page reply -F board=1 -F topic=1 -F "message=$(gbk 拍得真好！)" \
        -F "addme=@$work/upload4;filename=more.ZIP" "$base/postings.cgi"
    shows reply 回复成功
    stored upload/1-1-1.zip 4
    page topic "$base/topic.cgi?board=1&topic=1"
    shows topic 春天的照片 "去公园拍的。<br />&lt;第二行&gt;" 拍得真好！ 清风徐来 qfdata/face/2.png \
        qfdata/upload/1-1-0.zip qfdata/upload/1-1-1.zip "（310266 字节）"
    page board "$base/forum.cgi?board=1"
    shows board 春天的照片
    page search "$base/search.cgi?keyword=$(url 照片)"
    shows search "春天的照片</a>（1 处）" "共找到 1 个帖子。"
    page stats "$base/stats.cgi"
    shows stats "会员 2 位，最新加入的是 清风。" "主题 2 个，回复 1 篇，附件 2 个，共 620532 字节。"
}

# same_pages LABEL: each page of the run LABEL is the page of the run "before" (times aside).
same_pages() {
    local name l
    for name in register login profile post reply topic board search stats; do
        for l in before "$1"; do
            sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}/TIME/g' "$work/$l/$name.html" >"$work/$l.$name"
        done
        cmp -s "$work/before.$name" "$work/$1.$name" || fail "$1: the $name page differs from the one before"
    done
}

# runs_as_served FOLDER SCRIPT: topic.cgi started from FOLDER as SCRIPT, with the CGI environment
# the server gives it, prints the page the server sent.
runs_as_served() {
    (cd "$1" && env -i PATH="$PATH" GATEWAY_INTERFACE=CGI/1.1 REQUEST_METHOD=GET \
        QUERY_STRING='board=1&topic=1' perl "$2") | sed '1,/^\r$/d' >"$run/elsewhere.html"
    cmp -s "$run/served.html" "$run/elsewhere.html" ||
        fail "topic.cgi started from $1 as $2 does not print its page"
}

new_run before
serve
scenario
if [[ $server == lighttpd ]]; then
    answer=$(curl -sS -w ' %{http_code}' "$base/counter.cgi")
    [[ $answer == *"document.write"*" 200" ]] || fail "before: the counter answered $answer"
fi
forum_server_stop

if [[ $server == lighttpd ]]; then
    new_run after
    convert
    serve
    scenario
    answer=$(curl -sS -o /dev/null -w '%{http_code}' "$base/counter.cgi")
    [[ $answer == 500 ]] || fail "after: counter.cgi, left alone, answered $answer"

    # A required file renamed away: the error page names it.
    mv "$site/qf_common.pl" "$site/qf_common.away"
    page missing "$base/topic.cgi?board=1&topic=1"
    shows missing "KQ7100 出错！" "不能够找到文件：Can't locate qf_common.pl in @INC" "请更改每个程序中的 require 语句"
    mv "$site/qf_common.away" "$site/qf_common.pl"

    # lighttpd starts every script by its full path in the script's folder. A host that starts it
    # in another folder is stood in for by a run from /, one that starts it by its bare name in
    # its folder (as suEXEC does) by such a run.
    curl -sS -o "$run/served.html" "$base/topic.cgi?board=1&topic=1"
    runs_as_served / "$site/topic.cgi"
    runs_as_served "$site" topic.cgi
    forum_server_stop
    same_pages after
else
    docroot=$(forum_suexec_setting AP_DOC_ROOT)
    # One run at a time on this machine: they share the site user.
    exec 9<"$docroot" && flock 9 || exit 1
    if ! getent passwd "$siteuser" >/dev/null; then
        useradd --system --user-group --no-create-home --home-dir /nonexistent \
            --shell /usr/sbin/nologin "$siteuser" || exit 1
        made_user=1
    fi
    # suexec runs no script for a user or group below its minimum ids.
    (($(id -u "$siteuser") >= $(forum_suexec_setting AP_UID_MIN) &&
        $(id -g "$siteuser") >= $(forum_suexec_setting AP_GID_MIN))) ||
        { fail "the user $siteuser has ids below suexec's minimum: $(id "$siteuser")"; exit 1; }
    webroot=$(mktemp -d "$docroot/kq-forum.XXXXXX") && chmod 755 "$webroot" || exit 1

    new_run apache-shipped
    serve
    scenario
    forum_server_stop

    new_run converted
    convert
    converted=$site
    new_run apache-converted "$converted"
    serve
    scenario
    forum_server_stop

    # The converted copy as the first versions of kqconvert wrote it: without the prefix's line
    # for a script started by its bare name, and with the suffix whose page printed $@ after
    # start_html() had emptied it (src/conversion/rewrite_literals.hpp, earliestEvalSuffix).
    new_run earlier "$converted"
    earlier=$site
    perl -0777 -i -pe '
        BEGIN {
            $fourth = qq|\r\n(\$0 =~ m,[/\\\\],)        or unshift (\@INC, ".");|;
            $earliest = qq|};\r\nif (\$@) {\r\n    print header(-charset=>gb2312); print start_html(-title=>"KQ7100 \xB3\xF6\xB4\xED\xA3\xA1");\r\n|
                . qq|    print "\xB2\xBB\xC4\xDC\xB9\xBB\xD5\xD2\xB5\xBD\xCE\xC4\xBC\xFE\xA3\xBA\$@\\n\xC7\xEB\xB8\xFC\xB8\xC4\xC3\xBF\xB8\xF6\xB3\xCC\xD0\xF2\xD6\xD0\xB5\xC4 require \xD3\xEF\xBE\xE4\xA3\xAC\xCC\xEE\xC8\xEB\xBE\xF8\xB6\xD4\xC2\xB7\xBE\xB6\xA3\xA1";\r\n    print end_html; exit;\r\n}|;
        }
        $n = s/\Q$fourth\E//;
        $n += s/\};\r\nif \(my \$err = \$\@\) \{\r\n.*?\r\n\}/$earliest/s;
        $n == 1 and $odd = print STDERR "$ARGV: only one of the current texts was found\n";
        END { $? ||= 1 if $odd }' "$earlier"/*.cgi || fail "the earlier texts could not be put in"
    # Under suEXEC those scripts cannot find their required files: every page is the error page.
    new_run apache-earlier "$earlier"
    serve
    page earlier "$base/topic.cgi?board=1&topic=1"
    shows earlier "KQ7100 出错！" "不能够找到文件："
    forum_server_stop

    # kqconvert brings them up to date: each script it converted is reported updated, the others
    # as before, and the site is then the converted copy, byte for byte.
    "$kqconvert" "$earlier" >"$work/earlier/report" 2>&1
    status=$?
    ((status == 1)) || fail "kqconvert on the earlier texts ended with status $status"
    sed -e 's/^已转换：\(.*\)$/已更新：\1（早先版本插入的代码已更新为当前版本）/' \
        -e 's/已转换 \([0-9]*\) 个，/已转换 0 个，已更新 \1 个，/' "$work/converted/report" |
        diff -u - "$work/earlier/report" || fail "kqconvert did not report every earlier script updated"
    diff -r "$converted" "$earlier" || fail "the updated copy is not the converted copy"

    same_pages apache-shipped
    same_pages apache-converted
fi

if ((failures > 0)); then
    tail -n 20 "$work"/*/server/*.log
    [[ $server == lighttpd ]] || tail -n 20 "$(forum_suexec_setting AP_LOG_EXEC)"
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks held"
