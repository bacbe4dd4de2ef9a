# String building with concatenation, then searching, slicing and case mapping.
rounds = 150000
total = check = 0
for r in range(rounds):
    s = ""
    for j in range(30):
        s += "item" + str((r * 7 + j) % 100) + ";"
    count = 0
    pos = s.find("item4")
    while pos >= 0:
        count += 1
        pos = s.find("item4", pos + 1)
    first = s.find(";")
    word = s[first + 1:first + 7].upper()
    total += len(s) + count
    check = (check * 131 + ord(word[4]) + len(word)) % 1000003
print("total = %d" % total)
print("check = %d" % check)
