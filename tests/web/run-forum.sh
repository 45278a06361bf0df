#!/usr/bin/env bash
# The demo forum on a real web server: lighttpd on 127.0.0.1, Perl and Debian's CGI module, driven
# by curl. One scenario runs twice: on the site as shipped, with its own KQCGI.pm, and on a copy
# converted by kqconvert, with KQCGI.pm removed. Register with an avatar, log in, change the
# avatar, post a topic with an attachment, reply with another, read the topic, search, stats.
# Each upload must be stored byte for byte and each page must be the same in both runs (times
# aside). After the conversion, a missing required file gives the error page naming it, and the
# script the report left alone fails on the server.
#
#   run-forum.sh KQCONVERT
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
repo=$(cd "$here/../.." && pwd) || exit 2
kqconvert=$(realpath "$1") || exit 2
# shellcheck source=SCRIPTDIR/../../tools/forum-server.sh
source "$repo/tools/forum-server.sh"
export LC_ALL=C

work=$(mktemp -d /var/tmp/kq-forum.XXXXXX) || exit 1
trap 'forum_server_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM HUP

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

# new_run LABEL: a fresh copy of the demo site in $work/LABEL/site.
new_run() {
    label=$1
    run=$work/$1
    mkdir -p "$run" && cp -R "$repo/examples/demo-site" "$run/site" || exit 1
}

serve() {
    port=$(forum_free_port)
    base=http://127.0.0.1:$port
    forum_server_start "$run/site" "$port" "$run/server" || { fail "$label: no server"; exit 1; }
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

# shows NAME TEXT...: the page NAME holds each TEXT (given in UTF-8, sought in code page 936).
shows() {
    local name=$1 text
    shift
    for text; do
        grep -qF -- "$(gbk "$text")" "$run/$name.html" || fail "$label: $name does not show $text"
    done
}

# stored FILE N: the forum's FILE under its data folder holds exactly the bytes of upload N.
stored() {
    cmp -s "$run/site/qfdata/$1" "$work/upload$2" || fail "$label: qfdata/$1 is not upload $2"
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
    [[ ! -e $run/site/qfdata/face/2.gif ]] || fail "$label: the old avatar was kept"
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

new_run before
serve
scenario
answer=$(curl -sS -w ' %{http_code}' "$base/counter.cgi")
[[ $answer == *"document.write"*" 200" ]] || fail "before: the counter answered $answer"
forum_server_stop

new_run after
"$kqconvert" "$run/site" >"$run/report" 2>&1
status=$?
((status == 1)) || fail "kqconvert ended with status $status"
grep -qxF "未转换：counter.cgi：含有 KQCGI，但找不到 require 语句，未作修改" "$run/report" ||
    fail "the report does not name counter.cgi: $(cat "$run/report")"
rm "$run/site/KQCGI.pm"
serve
scenario
answer=$(curl -sS -o /dev/null -w '%{http_code}' "$base/counter.cgi")
[[ $answer == 500 ]] || fail "after: counter.cgi, left alone, answered $answer"

# A required file renamed away: the error page names it.
mv "$run/site/qf_common.pl" "$run/site/qf_common.away"
page missing "$base/topic.cgi?board=1&topic=1"
shows missing "KQ7100 出错！" "不能够找到文件：Can't locate qf_common.pl in @INC" "请更改每个程序中的 require 语句"
mv "$run/site/qf_common.away" "$run/site/qf_common.pl"

# lighttpd starts every script in the script's folder; a host that does not is stood in for by
# running the script from / as the server would, which must print what the server sends.
curl -sS -o "$run/served.html" "$base/topic.cgi?board=1&topic=1"
(cd / && env -i PATH="$PATH" GATEWAY_INTERFACE=CGI/1.1 REQUEST_METHOD=GET \
    QUERY_STRING='board=1&topic=1' perl "$run/site/topic.cgi") | sed '1,/^\r$/d' >"$run/elsewhere.html"
cmp -s "$run/served.html" "$run/elsewhere.html" || fail "topic.cgi run from / does not print its page"
forum_server_stop

for name in register login profile post reply topic board search stats; do
    for label in before after; do
        sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}/TIME/g' "$work/$label/$name.html" \
            >"$work/$label.$name"
    done
    cmp -s "$work/before.$name" "$work/after.$name" || fail "the $name page differs after the conversion"
done

if ((failures > 0)); then
    tail -n 20 "$work"/*/server/*.log
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks held"
