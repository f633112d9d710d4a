#!/usr/bin/env bash
# Saves by users other than the owner keep the owner, group, mode, ACL and extended attributes
# where the system lets them, and a save that would lock the owner out is refused. A save held
# mid-way in another pid namespace keeps its temporary file when a save here cleans stale ones;
# a killed save's file is still cleaned. Needs root (scratch users, namespaces); else exit 77.
set -u
build=$1
[[ $(id -u) -eq 0 ]] || { echo "skipping: needs root"; exit 77; }
for tool in setpriv useradd setfacl getfacl setfattr getfattr unshare; do
    command -v $tool >/dev/null || { echo "skipping: $tool is missing"; exit 77; }
done
owner=cixowner member=cixmember outsider=cixoutsider share=cixshare
removeUsers() {
    for user in $owner $member $outsider; do userdel $user 2>/dev/null; done
    groupdel $share 2>/dev/null
}
removeUsers # left by a killed run
work=$(mktemp -d)
trap 'rm -rf "$work"; removeUsers' EXIT
chmod 755 "$work"
groupadd $share && useradd -M -U -G $share $owner && useradd -M -U -G $share $member &&
    useradd -M -U $outsider || exit 1
saver=$work/saveonce
cp "$build/tests/tools/cardindex_saveonce" "$saver"
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }
as() { if [[ $1 == root ]]; then "${@:2}"; else setpriv --reuid=$1 --regid=$1 --init-groups "${@:2}"; fi; }
leftovers() { ls -A "$1" | grep -vx Numbers.dat; }
attribute() { getfattr --absolute-names --only-values -n "$1" "$2" 2>/dev/null; }

# The old file's owner:group and mode, a user its ACL lets read and write, who saves, and the
# owner:group the saved file must have. The owner must keep read and write access in every case.
cases=(
    "group-member  $owner:$share  660  -          $member    $member:$share"
    "root          $owner:$owner  640  $member    root       $owner:$owner"
    "others-write  $owner:$owner  666  -          $outsider  $outsider:$outsider"
    "locked-out    $owner:$owner  600  $outsider  $outsider  refused"
)
for row in "${cases[@]}"; do
    read -r name ownership mode aclUser who expected <<<"$row"
    echo "== $name: a $ownership $mode book saved by $who"
    dir=$work/$name file=$work/$name/Numbers.dat
    mkdir -m 777 "$dir" && printf 'old\r\n' >"$file" && chown "$ownership" "$file" && chmod "$mode" "$file"
    [[ $aclUser != - ]] && setfacl -m "u:$aclUser:rw" "$file"
    for attr in user.note trusted.note security.note; do setfattr -n $attr -v $attr "$file"; done
    before="$(stat -c %a "$file") $(getfacl -cp "$file")"

    output=$(as "$who" "$saver" "$file" new)
    [[ -z $(leftovers "$dir") ]] || fail "$name: left $(leftovers "$dir")"
    if [[ $expected == refused ]]; then
        [[ $output == *"belongs to $owner"* && $(cat "$file") == $'old\r' ]] || fail "$name: $output"
        continue
    fi
    [[ $output == saved && $(cat "$file") == $'new\r' ]] || fail "$name: $output"
    [[ $(stat -c %U:%G "$file") == "$expected" ]] || fail "$name: owned by $(stat -c %U:%G "$file")"
    [[ "$(stat -c %a "$file") $(getfacl -cp "$file")" == "$before" ]] || fail "$name: mode or ACL changed"
    [[ $(attribute user.note "$file") == user.note ]] || fail "$name: user.note lost"
    # Only root may set trusted.* and security.*; others save without them.
    [[ $who != root || $(attribute trusted.note "$file")$(attribute security.note "$file") == \
        trusted.notesecurity.note ]] || fail "$name: trusted.* or security.* lost"
    as $owner sh -c 'test -r "$1" && test -w "$1"' - "$file" || fail "$name: the owner lost access"
done

echo "== a save held in another pid namespace, under a process id that is free here"
dir=$work/pidns file=$work/pidns/Numbers.dat
mkdir "$dir" && printf 'old\r\n' >"$file"
pid=$(($(cat /proc/sys/kernel/pid_max) - 1))
while [[ -e /proc/$pid ]]; do pid=$((pid - 1)); done
coproc HELD { unshare -p -f --mount-proc bash -c 'echo $(($1 - 1)) >/proc/sys/kernel/ns_last_pid &&
    "$2" "$3" held hold; exit' - $pid "$saver" "$file"; }
heldJob=$HELD_PID
read -r word heldPid <&"${HELD[0]}"
[[ $word == holding && $heldPid == "$pid" ]] || fail "the held save is not process $pid: $word $heldPid"
held=$(leftovers "$dir")
[[ $("$saver" "$file" cleaner) == saved ]] || fail "the save in this namespace failed"
[[ -n $held && -f $dir/$held ]] || fail "the held save's temporary file was removed"
echo go >&"${HELD[1]}"
read -r output <&"${HELD[0]}"
wait $heldJob
[[ $output == saved && $(cat "$file") == $'held\r' ]] || fail "the held save: $output"

echo "== a save killed mid-way leaves a temporary file that the next save removes"
coproc KILLED { exec "$saver" "$file" killed hold; }
killedJob=$KILLED_PID
read -r word killedPid <&"${KILLED[0]}"
kill -KILL $killedPid
wait $killedJob 2>/dev/null
[[ -n $(leftovers "$dir") ]] || fail "the killed save left no temporary file"
[[ $("$saver" "$file" after) == saved && -z $(leftovers "$dir") ]] || fail "left $(leftovers "$dir")"

echo "$failures failures"
[[ $failures -eq 0 ]]
