<%
Dim pageTitle, fruits, key
pageTitle = "Scripting.Dictionary"
Set fruits = Server.CreateObject("Scripting.Dictionary")
fruits.Add "apple", 3
fruits.Add "banana", 12
fruits.Add "cherry", 250
fruits("banana") = fruits("banana") + 1
%>
<!--#include file="inc/header.inc"-->
<p>The dictionary holds <%= fruits.Count %> entries:</p>
<ul>
<% For Each key In fruits.Keys %>
<li><%= key %>: <%= fruits(key) %></li>
<% Next %>
</ul>
<p>Has "cherry": <%= fruits.Exists("cherry") %>; has "durian": <%= fruits.Exists("durian") %></p>
<!--#include file="inc/footer.inc"-->
